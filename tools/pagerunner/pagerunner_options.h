// pagerunner's command line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/pagerunner/browser_family.h"

struct PageRunnerOptions {
  std::string modulePath;  // empty with --discover and --which
  std::string pagePath;    // empty with --which
  bool discover = false;   // find the module through the registry, as browsers do
  std::string whichType;   // --which: report the plug-in for this MIME type, load nothing
  BrowserFamily browser = BrowserFamily::Gecko;  // whose discovery and call habits are played
  bool firefox36Table = false;         // gecko: Firefox 3.6's 14-entry table of version 0
  bool sizeZeroTable = false;          // hand NP_GetEntryPoints a table of size 0
  bool ansiWindows = false;            // plug-in windows of an ANSI class (default: Unicode)
  bool destroyAfterFailedNew = false;  // NPP_Destroy also for objects whose NPP_New failed
  uint32_t keepOpenMs = 0;             // pump messages this long before tearing down
  std::string closeWindowClass;        // at the end, WM_CLOSE to top-level windows of this class
  bool help = false;
};

// Parses `args` (argv without the program name). Returns false with a one-line `error`
// for an unknown option, a missing or malformed value, or a wrong number of operands.
bool parsePageRunnerOptions(const std::vector<std::string>& args, PageRunnerOptions* out,
                            std::string* error);

const char* pageRunnerUsage();
