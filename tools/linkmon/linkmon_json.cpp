#include "tools/linkmon/linkmon_json.h"

#include <cinttypes>
#include <cstdlib>
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

bool parseLinkmonJson(const std::string& line, std::vector<std::pair<std::string, std::string>>* out) {
  size_t i = 0;
  auto readString = [&](std::string* s) {
    if (i >= line.size() || line[i] != '"') return false;
    for (++i; i < line.size() && line[i] != '"'; ++i) {
      char c = line[i];
      if (c != '\\') {
        *s += c;
        continue;
      }
      if (++i >= line.size()) return false;
      c = line[i];
      if (c == 'u') {
        if (i + 4 >= line.size()) return false;
        *s += static_cast<char>(strtoul(line.substr(i + 1, 4).c_str(), nullptr, 16));
        i += 4;
      } else {
        *s += c == 'n' ? '\n' : c == 't' ? '\t' : c == 'r' ? '\r' : c;
      }
    }
    return i++ < line.size();
  };
  if (line.empty() || line[i++] != '{') return false;
  while (i < line.size() && line[i] != '}') {
    std::string key, value;
    if (!readString(&key) || i >= line.size() || line[i++] != ':') return false;
    if (i < line.size() && line[i] == '"') {
      if (!readString(&value)) return false;
    } else {
      while (i < line.size() && line[i] != ',' && line[i] != '}') value += line[i++];
    }
    out->emplace_back(key, value);
    if (i < line.size() && line[i] == ',') ++i;
  }
  return i < line.size();
}
