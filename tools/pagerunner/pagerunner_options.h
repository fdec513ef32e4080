// pagerunner's command line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/pagerunner/browser_family.h"

// What gecko in process (--stream-end) announces as a stream's end.
enum class StreamEndPlay {
  Known,    // the file's size (the default, and every family out of process)
  Unknown,  // 0 throughout
  Raised,   // 0 at NPP_NewStream, raised to what has arrived before each NPP_Write
};

const uint32_t NO_NETWORK_ERROR = 0xFFFFFFFFu;

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
  uint32_t chunkBytes = 0;             // a link file arrives in chunks of this size (0: at once)
  uint32_t networkErrorAfter = NO_NETWORK_ERROR;  // the connection breaks after this many bytes
  bool firefoxHangTimeout = false;     // gecko: Firefox 52's and Basilisk's 45 s, not Pale Moon's 20 s
  bool inProcess = false;              // the plug-in in the browser's process (gecko: K-Meleon; chromium: its embedded engine 1.1180)
  StreamEndPlay streamEnd = StreamEndPlay::Known;  // gecko in process
  std::string closeWindowClass;        // at the end, WM_CLOSE to top-level windows of this class
  bool help = false;
};

// Parses `args` (argv without the program name). Returns false with a one-line `error`
// for an unknown option, a missing or malformed value, or a wrong number of operands.
bool parsePageRunnerOptions(const std::vector<std::string>& args, PageRunnerOptions* out,
                            std::string* error);

const char* pageRunnerUsage();
