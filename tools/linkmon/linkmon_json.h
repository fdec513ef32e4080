// The JSON lines linkmon appends to its log file, one object per event. Tests and scripts
// parse them; the keys are fixed.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "tools/linkmon/linkmon_decode.h"

// `text` as the inside of a JSON string. Bytes 0x80 and above are written as \u00XX (the
// ANSI code page is not known here), so the line stays ASCII.
std::string jsonEscape(const std::string& text);

// {"event":"start","pid":N,"commandLine":"..."}
std::string startJson(uint32_t pid, const std::string& commandLine);
// {"event":"window","hwnd":N}
std::string windowJson(uint64_t hwnd);
// {"event":"message","seq":N,"code":N,"name":"...","linkId":N,"cbData":N,"nullData":B,
//  "data":"<hex of all bytes>","reply":N}
std::string messageJson(const LinkMessageView& m);
// {"event":"exit"}
std::string exitJson();
// {"event":"handover","pid":N}: another copy, process N, has the link window
std::string handoverJson(uint32_t pid);

// One of these lines read back, just enough JSON for them: each key with its value, strings
// unescaped, numbers and booleans as their text. False when the line is not one.
bool parseLinkmonJson(const std::string& line, std::vector<std::pair<std::string, std::string>>* out);
