// linkmon's configuration: command line options over LINKMON_ environment variables.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

enum class ReplyMode { Accept, Refuse, NoId, Reuse };

struct LinkmonOptions {
  std::string logPath;               // empty: no log file
  ReplyMode reply = ReplyMode::Accept;
  uint16_t firstId = 1;              // first identifier handed out in accept mode
  uint32_t windowDelayMs = 0;        // delay before the link window is created
  bool noWindow = false;             // never create the link window
  uint32_t lifetimeMs = 0;           // 0: run until closed
  uint32_t hangCode = 0;             // 0: never; else stop answering on this code...
  uint32_t hangMs = 0;               // ...for this long, each time it arrives
  uint32_t exitCode = 0;             // 0: never; else exit, unanswered, on this code
  uint32_t deferCode = 0;            // 0: never; else, after answering this code, keep the
  uint32_t deferMs = 0;              // link window's thread busy this long (posted work)
  bool multiple = false;             // a copy started with /$l opens a link window even
                                     // when another copy's exists
  bool launched = false;             // "/$l" was on the command line
  uint32_t startCpuMs = 0;           // CPU time spent before the link window is created
  bool quiet = false;                // no console output
  bool help = false;                 // print the usage text and exit 0
};

// Returns the value of an environment variable, or false when it is not set.
typedef std::function<bool(const char* name, std::string* value)> EnvLookup;

// Reads LINKMON_ variables through `env`, then `args` (argv without the program name),
// which override them; a later option overrides an earlier one. The "/$l" switch that the
// plug-in appends sets `launched`. Returns false with a one-line `error` for an
// unknown option, a missing value or a value that does not parse.
bool parseLinkmonOptions(const std::vector<std::string>& args, const EnvLookup& env,
                         LinkmonOptions* out, std::string* error);

// The usage text for --help and for option errors.
const char* linkmonUsage();
