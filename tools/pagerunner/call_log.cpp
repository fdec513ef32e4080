#include "tools/pagerunner/call_log.h"

std::string quotedText(const std::string& text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out = "\"";
  for (char c : text) {
    unsigned char u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out.push_back('\\');
      out.push_back(c);
    } else if (u < 0x20 || u >= 0x7F) {
      out += "\\x";
      out.push_back(kHex[u >> 4]);
      out.push_back(kHex[u & 15]);
    } else {
      out.push_back(c);
    }
  }
  out.push_back('"');
  return out;
}

std::string attributeList(const std::vector<HtmlAttribute>& attributes) {
  std::string out = "{";
  for (size_t i = 0; i < attributes.size(); ++i) {
    if (i) out += ", ";
    out += attributes[i].name + "=" + quotedText(attributes[i].value);
  }
  return out + "}";
}

std::string npErrorText(int32_t error) {
  static const char* const kNames[] = {
      "NPERR_NO_ERROR",          "NPERR_GENERIC_ERROR",        "NPERR_INVALID_INSTANCE_ERROR",
      "NPERR_INVALID_FUNCTABLE_ERROR", "NPERR_MODULE_LOAD_FAILED_ERROR",
      "NPERR_OUT_OF_MEMORY_ERROR",     "NPERR_INVALID_PLUGIN_ERROR",
      "NPERR_INVALID_PLUGIN_DIR_ERROR", "NPERR_INCOMPATIBLE_VERSION_ERROR",
      "NPERR_INVALID_PARAM",     "NPERR_INVALID_URL",          "NPERR_FILE_NOT_FOUND",
      "NPERR_NO_DATA",           "NPERR_STREAM_NOT_SEEKABLE"};
  const char* name = error >= 0 && error < static_cast<int32_t>(sizeof kNames / sizeof kNames[0])
                         ? kNames[error]
                         : "unknown";
  return std::to_string(error) + " (" + name + ")";
}

const char* npReasonName(int32_t reason) {
  switch (reason) {
    case 0: return "NPRES_DONE";
    case 1: return "NPRES_NETWORK_ERR";
    case 2: return "NPRES_USER_BREAK";
    default: return "unknown reason";
  }
}

const char* streamTypeName(uint32_t type) {
  switch (type) {
    case 1: return "NP_NORMAL";
    case 2: return "NP_SEEK";
    case 3: return "NP_ASFILE";
    case 4: return "NP_ASFILEONLY";
    default: return "unknown stream type";
  }
}
