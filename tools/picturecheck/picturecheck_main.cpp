// picturecheck CLIENT-LOG: whether the screen of this Wine session shows the client's picture
// in each window lent to it that is in view (screen_picture.h). A line with how many windows
// are lent and in view, then one line per window in view;
// exit code 0 when each shows it, 1 when one does not or none is in view (the windows without
// it follow "FAILED:"), 2 on a usage error. CLIENT-LOG is the sample client's log
// (KELVORA_SAMPLE_LOG) or linkmon's (--log). Only a Wine that shows what one process draws in
// another's window shows the picture: Wine 10, not Wine 8 (tools/wine10/).
#include <cstdio>

#include "tools/picturecheck/screen_picture.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: picturecheck CLIENT-LOG\n");
    return 2;
  }
  PictureVerdict v = checkPicture(argv[1]);
  printf("%u windows lent to the client, %u in view\n", static_cast<unsigned>(v.lent), static_cast<unsigned>(v.checked));
  fputs(v.report.c_str(), stdout);
  if (!v.passed()) printf("FAILED:\n%s", v.failures.c_str());
  return v.passed() ? 0 : 1;
}
