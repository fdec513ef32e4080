#include "tools/linkmon/linkmon_options.h"

namespace {

// A decimal number from 0 to `max`, digits only: a typo must not silently become 0.
bool parseNumber(const std::string& text, uint32_t max, uint32_t* out) {
  if (text.empty() || text.size() > 10) return false;
  uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<uint64_t>(c - '0');
  }
  if (value > max) return false;
  *out = static_cast<uint32_t>(value);
  return true;
}

bool parseReply(const std::string& text, ReplyMode* out) {
  if (text == "accept") *out = ReplyMode::Accept;
  else if (text == "refuse") *out = ReplyMode::Refuse;
  else if (text == "noid") *out = ReplyMode::NoId;
  else if (text == "reuse") *out = ReplyMode::Reuse;
  else return false;
  return true;
}

// "CODE" or "CODE:MS", `defaultMs` when no time is given.
bool parseHang(const std::string& text, uint32_t defaultMs, uint32_t* code, uint32_t* ms) {
  size_t colon = text.find(':');
  *ms = defaultMs;
  return parseNumber(text.substr(0, colon), 0xFFFFFFFFu, code) && *code != 0 &&
         (colon == std::string::npos || parseNumber(text.substr(colon + 1), 0x7FFFFFFF, ms));
}

// Environment switches: "1" turns on, "0" or empty leaves off.
bool parseSwitch(const std::string& text, bool* out) {
  if (text == "1") *out = true;
  else if (text.empty() || text == "0") *out = false;
  else return false;
  return true;
}

// Applies one valued setting; `what` names it in the error text.
bool applyValue(const std::string& name, const std::string& value, const std::string& what,
                LinkmonOptions* o, std::string* error) {
  uint32_t n = 0;
  bool ok = true;
  if (name == "log") {
    ok = !value.empty();
    o->logPath = value;
  } else if (name == "reply") {
    ok = parseReply(value, &o->reply);
  } else if (name == "first-id") {
    ok = parseNumber(value, 0xFFFF, &n);
    if (ok) o->firstId = static_cast<uint16_t>(n);
  } else if (name == "window-delay") {
    ok = parseNumber(value, 0x7FFFFFFF, &n);
    if (ok) o->windowDelayMs = n;
  } else if (name == "lifetime") {
    ok = parseNumber(value, 0x7FFFFFFF, &n);
    if (ok) o->lifetimeMs = n;
  } else if (name == "hang-on") {
    uint32_t code = 0, ms = 0;
    ok = parseHang(value, 30000, &code, &ms);
    if (ok) {
      o->hangCode = code;
      o->hangMs = ms;
    }
  } else if (name == "defer-on") {
    uint32_t code = 0, ms = 0;
    ok = parseHang(value, 6000, &code, &ms);
    if (ok) {
      o->deferCode = code;
      o->deferMs = ms;
    }
  } else if (name == "exit-on") {
    ok = parseNumber(value, 0xFFFFFFFFu, &n) && n != 0;
    if (ok) o->exitCode = n;
  } else if (name == "start-cpu") {
    ok = parseNumber(value, 0x7FFFFFFF, &n);
    if (ok) o->startCpuMs = n;
  }
  if (!ok) *error = "bad value for " + what + ": \"" + value + "\"";
  return ok;
}

const char* const kValued[] = {"log",     "reply",   "first-id",  "window-delay", "lifetime",
                               "hang-on", "exit-on", "start-cpu", "defer-on"};

bool isValued(const std::string& name) {
  for (const char* v : kValued)
    if (name == v) return true;
  return false;
}

}  // namespace

bool parseLinkmonOptions(const std::vector<std::string>& args, const EnvLookup& env,
                         LinkmonOptions* out, std::string* error) {
  LinkmonOptions o;
  struct EnvName {
    const char* var;
    const char* option;
  };
  static const EnvName kEnvValued[] = {{"LINKMON_LOG", "log"},
                                       {"LINKMON_REPLY", "reply"},
                                       {"LINKMON_FIRST_ID", "first-id"},
                                       {"LINKMON_WINDOW_DELAY", "window-delay"},
                                       {"LINKMON_LIFETIME", "lifetime"},
                                       {"LINKMON_HANG_ON", "hang-on"},
                                       {"LINKMON_EXIT_ON", "exit-on"},
                                       {"LINKMON_START_CPU", "start-cpu"},
                                       {"LINKMON_DEFER_ON", "defer-on"}};
  std::string value;
  for (const EnvName& e : kEnvValued) {
    // An empty variable counts as unset, so `set LINKMON_LOG=` clears it.
    if (env && env(e.var, &value) && !value.empty() &&
        !applyValue(e.option, value, e.var, &o, error))
      return false;
  }
  if (env && env("LINKMON_NO_WINDOW", &value) && !parseSwitch(value, &o.noWindow)) {
    *error = "bad value for LINKMON_NO_WINDOW: \"" + value + "\" (use 1 or 0)";
    return false;
  }
  if (env && env("LINKMON_QUIET", &value) && !parseSwitch(value, &o.quiet)) {
    *error = "bad value for LINKMON_QUIET: \"" + value + "\" (use 1 or 0)";
    return false;
  }
  if (env && env("LINKMON_MULTIPLE", &value) && !parseSwitch(value, &o.multiple)) {
    *error = "bad value for LINKMON_MULTIPLE: \"" + value + "\" (use 1 or 0)";
    return false;
  }

  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "/$l") {
      o.launched = true;
      continue;
    }
    if (arg.compare(0, 2, "--") != 0) {
      *error = "unexpected argument \"" + arg + "\"";
      return false;
    }
    std::string name = arg.substr(2);
    size_t eq = name.find('=');
    bool inlineValue = eq != std::string::npos;
    std::string inlineText = inlineValue ? name.substr(eq + 1) : std::string();
    if (inlineValue) name.resize(eq);

    if (isValued(name)) {
      if (!inlineValue) {
        if (i + 1 >= args.size()) {
          *error = "--" + name + " needs a value";
          return false;
        }
        inlineText = args[++i];
      }
      if (!applyValue(name, inlineText, "--" + name, &o, error)) return false;
      continue;
    }
    if (inlineValue) {
      *error = "--" + name + " takes no value";
      return false;
    }
    if (name == "no-window") o.noWindow = true;
    else if (name == "quiet") o.quiet = true;
    else if (name == "multiple") o.multiple = true;
    else if (name == "help") o.help = true;
    else {
      *error = "unknown option \"" + arg + "\"";
      return false;
    }
  }
  *out = o;
  return true;
}

const char* linkmonUsage() {
  return "usage: linkmon [options] [/$l]\n"
         "Shows every message sent to the \"KelvoraLink\" window and answers LINKMSG_NEW.\n"
         "  --log FILE          append one JSON line per event to FILE   (LINKMON_LOG)\n"
         "  --reply MODE        accept (default), refuse, noid or reuse  (LINKMON_REPLY)\n"
         "  --first-id N        first identifier handed out, default 1  (LINKMON_FIRST_ID)\n"
         "  --window-delay MS   create the link window after MS          (LINKMON_WINDOW_DELAY)\n"
         "  --no-window         never create the link window             (LINKMON_NO_WINDOW=1)\n"
         "  --lifetime MS       exit by itself after MS                  (LINKMON_LIFETIME)\n"
         "  --hang-on CODE[:MS] on message CODE stop answering for MS,    (LINKMON_HANG_ON)\n"
         "                      default 30000, then reply late\n"
         "  --exit-on CODE      on message CODE exit without replying    (LINKMON_EXIT_ON)\n"
         "  --start-cpu MS      use MS of CPU time before the window     (LINKMON_START_CPU)\n"
         "  --defer-on CODE[:MS] after answering CODE, keep the window's  (LINKMON_DEFER_ON)\n"
         "                      thread busy MS (default 6000) on posted work\n"
         "  --multiple          with /$l, open a second link window when (LINKMON_MULTIPLE=1)\n"
         "                      another copy runs (default: exit)\n"
         "  --quiet             no console output                        (LINKMON_QUIET=1)\n"
         "  --help              this text\n"
         "Options override the environment. WM_CLOSE to the \"KelvoraLink\" or the\n"
         "\"KelvoraLinkMonitor\" window ends the program.\n";
}
