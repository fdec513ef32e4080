#include "tools/pagerunner/pagerunner_options.h"

namespace {

// Milliseconds: digits only, at most a day, so that a typo does not become 0 or forever.
bool parseMilliseconds(const std::string& text, uint32_t* out) {
  if (text.empty() || text.size() > 8) return false;
  uint32_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<uint32_t>(c - '0');
  }
  if (value > 86400000u) return false;
  *out = value;
  return true;
}

// A byte count: digits only, below 2^31.
bool parseBytes(const std::string& text, uint32_t* out) {
  if (text.empty() || text.size() > 10) return false;
  uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<uint64_t>(c - '0');
  }
  if (value > 0x7FFFFFFFu) return false;
  *out = static_cast<uint32_t>(value);
  return true;
}

}  // namespace

const char* pageRunnerUsage() {
  return "usage: pagerunner [options] MODULE.DLL PAGE.html\n"
         "       pagerunner [options] --discover PAGE.html\n"
         "       pagerunner [--browser FAMILY] --which MIME/TYPE\n"
         "Loads the module as a browser of FAMILY would and plays the page's\n"
         "application/x-kvla embeds and objects (and their .kvl link files) through it,\n"
         "printing every call.\n"
         "  --discover                  find the module as the browser family does (its\n"
         "                              plugins folder, Software\\MozillaPlugins in this\n"
         "                              program's registry view) and load the one it picks\n"
         "  --browser FAMILY            gecko (default), chromium, webkit, opera, netscape:\n"
         "                              that family's discovery, entry point names, table\n"
         "                              and call habits (see docs/installing.md)\n"
         "  --firefox-3.6               gecko: Firefox 3.6's smaller table, version 0\n"
         "  --size0-table               hand NP_GetEntryPoints a table of size 0\n"
         "  --which MIME/TYPE           print the plug-in a browser would pick for the type\n"
         "                              and why each other candidate was passed over;\n"
         "                              reads the registry and files, loads nothing\n"
         "  --ansi-windows              plug-in windows of an ANSI window class\n"
         "                              (default: Unicode, as browsers use)\n"
         "  --destroy-after-failed-new  call NPP_Destroy also when NPP_New failed\n"
         "                              (gecko and chromium always do)\n"
         "  --keep-open MS              pump messages for MS milliseconds before teardown;\n"
         "                              also how long refused link-file data is delivered\n"
         "                              again (default 1000)\n"
         "  --chunk BYTES               link files arrive in chunks of BYTES (default: at\n"
         "                              once); gecko hands each chunk over alone\n"
         "  --network-error-after BYTES the connection breaks after BYTES of a link file:\n"
         "                              NPP_DestroyStream with NPRES_NETWORK_ERR\n"
         "  --hang-timeout palemoon|firefox\n"
         "                              gecko: the plug-in is killed 20 s (Pale Moon, the\n"
         "                              default) or 45 s (Firefox 52, Basilisk) after the\n"
         "                              hang dialog's 11 s\n"
         "  --in-process                the plug-in runs in the browser's process: gecko\n"
         "                              as K-Meleon runs it, chromium as the embedded\n"
         "                              engine of Chromium 21 does\n"
         "  --stream-end unknown|raised gecko in process: the stream's end is 0, or 0 and\n"
         "                              raised to what has arrived before each NPP_Write\n"
         "  --close-window CLASS        at the end, close the top-level windows of CLASS\n"
         "                              and wait for their programs to exit\n"
         "  --help                      this text\n"
         "Exit code: 0 all calls succeeded (--which: a plug-in was found), 1 some NPAPI\n"
         "call failed, 2 usage or load error (a failed NP_GetEntryPoints or NP_Initialize\n"
         "is a failed load), 3 no plug-in handles the type (--discover, --which).\n";
}

bool parsePageRunnerOptions(const std::vector<std::string>& args, PageRunnerOptions* out,
                            std::string* error) {
  PageRunnerOptions o;
  std::vector<std::string> operands;
  bool optionsEnded = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (optionsEnded || a.size() < 2 || a.compare(0, 2, "--") != 0) {
      operands.push_back(a);
      continue;
    }
    std::string name = a, value;
    bool inlineValue = false;
    size_t eq = a.find('=');
    if (eq != std::string::npos) {
      name = a.substr(0, eq);
      value = a.substr(eq + 1);
      inlineValue = true;
    }
    bool valued = name == "--keep-open" || name == "--close-window" || name == "--browser" ||
                  name == "--which" || name == "--chunk" || name == "--network-error-after" ||
                  name == "--stream-end" || name == "--hang-timeout";
    if (valued && !inlineValue) {
      if (i + 1 >= args.size()) {
        *error = "missing value for " + name;
        return false;
      }
      value = args[++i];
    } else if (!valued && inlineValue) {
      *error = "option " + name + " takes no value";
      return false;
    }
    if (name == "--") {
      optionsEnded = true;
    } else if (name == "--ansi-windows") {
      o.ansiWindows = true;
    } else if (name == "--destroy-after-failed-new") {
      o.destroyAfterFailedNew = true;
    } else if (name == "--in-process") {
      o.inProcess = true;
    } else if (name == "--firefox-3.6") {
      o.firefox36Table = true;
    } else if (name == "--size0-table") {
      o.sizeZeroTable = true;
    } else if (name == "--discover") {
      o.discover = true;
    } else if (name == "--browser") {
      if (!parseBrowserFamily(value, &o.browser)) {
        *error = "bad value for --browser: \"" + value + "\" (gecko, chromium, webkit, opera, netscape)";
        return false;
      }
    } else if (name == "--which") {
      if (value.empty()) {
        *error = "empty value for --which";
        return false;
      }
      o.whichType = value;
    } else if (name == "--help") {
      o.help = true;
    } else if (name == "--keep-open") {
      if (!parseMilliseconds(value, &o.keepOpenMs)) {
        *error = "bad value for --keep-open: \"" + value + "\"";
        return false;
      }
    } else if (name == "--chunk") {
      if (!parseBytes(value, &o.chunkBytes) || o.chunkBytes == 0) {
        *error = "bad value for --chunk: \"" + value + "\"";
        return false;
      }
    } else if (name == "--network-error-after") {
      if (!parseBytes(value, &o.networkErrorAfter)) {
        *error = "bad value for --network-error-after: \"" + value + "\"";
        return false;
      }
    } else if (name == "--hang-timeout") {
      if (value != "palemoon" && value != "firefox") {
        *error = "bad value for --hang-timeout: \"" + value + "\" (palemoon, firefox)";
        return false;
      }
      o.firefoxHangTimeout = value == "firefox";
    } else if (name == "--stream-end") {
      if (value != "unknown" && value != "raised") {
        *error = "bad value for --stream-end: \"" + value + "\" (unknown, raised)";
        return false;
      }
      o.streamEnd = value == "unknown" ? StreamEndPlay::Unknown : StreamEndPlay::Raised;
    } else if (name == "--close-window") {
      if (value.empty()) {
        *error = "empty value for --close-window";
        return false;
      }
      o.closeWindowClass = value;
    } else {
      *error = "unknown option " + name;
      return false;
    }
  }
  if (!o.help) {
    // --which takes no operands, --discover the page only, otherwise the module and the page.
    size_t wanted = !o.whichType.empty() ? 0 : o.discover ? 1 : 2;
    if (!o.whichType.empty() && o.discover) {
      *error = "--which and --discover exclude each other";
      return false;
    }
    if (operands.size() != wanted) {
      *error = operands.size() > wanted ? "too many arguments: " + operands[wanted]
               : o.discover              ? "PAGE.html is needed"
                                         : "MODULE.DLL and PAGE.html are needed";
      return false;
    }
    if (o.inProcess && o.browser != BrowserFamily::Gecko && o.browser != BrowserFamily::Chromium) {
      *error = "--in-process is gecko's and chromium's";
      return false;
    }
    if (o.streamEnd != StreamEndPlay::Known && (!o.inProcess || o.browser != BrowserFamily::Gecko)) {
      *error = "--stream-end is gecko's, in process: add --in-process";
      return false;
    }
    if (wanted == 2) o.modulePath = operands[0];
    if (wanted > 0) o.pagePath = operands[wanted - 1];
  }
  *out = o;
  return true;
}
