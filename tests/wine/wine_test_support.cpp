#include "wine_test_support.h"

std::string programBesideTest(const char* fileName) {
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string dir(path, n);
  size_t slash = dir.find_last_of("\\/");
  dir.resize(slash == std::string::npos ? 0 : slash + 1);
  return dir + fileName;
}
