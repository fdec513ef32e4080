#include "tools/linkmon/linkmon_json.h"

#include <cinttypes>
#include <cstdio>

std::string jsonEscape(const std::string& text) {
  std::string s;
  for (char ch : text) {
    unsigned char c = static_cast<unsigned char>(ch);
    if (c == '"' || c == '\\') {
      s += '\\';
      s += ch;
    } else if (c >= 0x20 && c < 0x7F) {
      s += ch;
    } else {
      char buf[8];
      snprintf(buf, sizeof buf, "\\u%04x", c);
      s += buf;
    }
  }
  return s;
}

std::string startJson(uint32_t pid, const std::string& commandLine) {
  return "{\"event\":\"start\",\"pid\":" + std::to_string(pid) + ",\"commandLine\":\"" +
         jsonEscape(commandLine) + "\"}";
}

std::string windowJson(uint64_t hwnd) {
  return "{\"event\":\"window\",\"hwnd\":" + std::to_string(hwnd) + "}";
}

std::string messageJson(const LinkMessageView& m) {
  uint32_t length = m.data ? m.cbData : 0;
  return "{\"event\":\"message\",\"seq\":" + std::to_string(m.seq) +
         ",\"code\":" + std::to_string(m.code) + ",\"name\":\"" + linkCodeName(m.code) +
         "\",\"linkId\":" + std::to_string(m.dwData) + ",\"cbData\":" +
         std::to_string(m.cbData) + ",\"nullData\":" + (m.data ? "false" : "true") +
         ",\"data\":\"" + hexBytes(m.data, length, "") + "\",\"reply\":" +
         std::to_string(m.reply) + "}";
}

std::string exitJson() { return "{\"event\":\"exit\"}"; }

std::string handoverJson(uint32_t pid) {
  return "{\"event\":\"handover\",\"pid\":" + std::to_string(pid) + "}";
}
