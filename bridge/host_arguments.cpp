#include "bridge/host_arguments.h"

#include <cstring>

uint32_t parentWindowArgument(int argc, const char* const* argv) {
  static const char OPTION[] = "--parent-window=";
  uint32_t found = 0;
  for (int i = 1; i < argc; ++i) {
    if (argv[i] == nullptr || std::strncmp(argv[i], OPTION, sizeof OPTION - 1) != 0) continue;
    const char* digits = argv[i] + sizeof OPTION - 1;
    uint64_t value = 0;
    const char* p = digits;
    for (; *p >= '0' && *p <= '9' && value <= 0xFFFFFFFFu; ++p) value = value * 10 + (*p - '0');
    found = (p != digits && *p == '\0' && value <= 0xFFFFFFFFu) ? static_cast<uint32_t>(value) : 0;
  }
  return found;
}
