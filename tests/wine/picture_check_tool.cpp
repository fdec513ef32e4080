// picture_check CLIENT-LOG: the client's picture on the screen of the Wine session it runs in
// (picture_check.h), for the tests that drive today's browsers. One line per lent window in
// view; exit code 0 when each shows the picture, 1 when one does not (named after "FAILED").
#include <cstdio>

#include "picture_check.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: picture_check CLIENT-LOG\n");
    return 2;
  }
  PictureVerdict v = checkPicture(argv[1]);
  fputs(v.report.c_str(), stdout);
  if (!v.passed()) printf("FAILED:\n%s", v.failures.c_str());
  return v.passed() ? 0 : 1;
}
