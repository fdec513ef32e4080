#include "bridge/bridge_messages.h"

#include <cstring>

#include <nlohmann/json.hpp>

namespace {

using nlohmann::json;

// An object id: an integer from 1 to BRIDGE_MAX_OBJECT_ID (JSON numbers that are not whole
// numbers, or out of range, are none).
bool readIdValue(const json& value, uint32_t* id) {
  if (!value.is_number_integer()) return false;
  if (value.is_number_unsigned()) {
    uint64_t v = value.get<uint64_t>();
    if (v == 0 || v > BRIDGE_MAX_OBJECT_ID) return false;
    *id = static_cast<uint32_t>(v);
    return true;
  }
  int64_t v = value.get<int64_t>();
  if (v <= 0 || v > BRIDGE_MAX_OBJECT_ID) return false;
  *id = static_cast<uint32_t>(v);
  return true;
}

bool readId(const json& message, uint32_t* id) {
  auto it = message.find("id");
  return it != message.end() && readIdValue(*it, id);
}

// A text the host passes on as a C string: no NUL inside (it would cut the text), not longer
// than BRIDGE_MAX_TEXT. The parser has already checked that it is UTF-8.
bool readText(const json& value, std::string* out) {
  if (!value.is_string()) return false;
  const std::string& s = value.get_ref<const std::string&>();
  if (s.size() > BRIDGE_MAX_TEXT || s.find('\0') != std::string::npos) return false;
  *out = s;
  return true;
}

bool readInteger(const json& value, int32_t low, int32_t high, int32_t* out) {
  if (!value.is_number_integer()) return false;
  if (value.is_number_unsigned()) {
    uint64_t v = value.get<uint64_t>();
    if (high < 0 || v > static_cast<uint64_t>(high)) return false;
    *out = static_cast<int32_t>(v);
    return v >= static_cast<uint64_t>(low < 0 ? 0 : low);
  }
  int64_t v = value.get<int64_t>();
  if (v < low || v > high) return false;
  *out = static_cast<int32_t>(v);
  return true;
}

// [x, y, width, height]
bool readBox(const json& value, ScreenBox* box) {
  if (!value.is_array() || value.size() != 4) return false;
  const int32_t m = BRIDGE_MAX_COORDINATE;
  return readInteger(value[0], -m, m, &box->x) && readInteger(value[1], -m, m, &box->y) &&
         readInteger(value[2], 0, m, &box->width) && readInteger(value[3], 0, m, &box->height);
}

const char* readNew(const json& message, BridgeRequest* out) {
  auto it = message.find("attributes");
  if (it == message.end() || !it->is_array()) return "attributes missing";
  if (it->size() > BRIDGE_MAX_ATTRIBUTES) return "too many attributes";
  for (const json& pair : *it) {
    std::string name, value;
    if (!pair.is_array() || pair.size() != 2) return "attribute not a pair";
    if (!readText(pair[0], &name) || !readText(pair[1], &value)) return "attribute text rejected";
    out->attributes.emplace_back(std::move(name), std::move(value));
  }
  return nullptr;
}

const char* readWindow(const json& message, BridgeRequest* out) {
  auto box = message.find("box");
  auto clip = message.find("clip");
  auto visible = message.find("visible");
  if (box == message.end() || !readBox(*box, &out->box)) return "box rejected";
  if (clip == message.end() || !readBox(*clip, &out->clip)) return "clip rejected";
  if (visible == message.end() || !visible->is_boolean()) return "visible rejected";
  out->visible = visible->get<bool>();
  return nullptr;
}

// The value of one base64 digit (RFC 4648, standard alphabet), or -1.
int base64Digit(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

// Strict base64: groups of four digits, "=" padding only in the last group, unused bits zero,
// no spaces. What the extension's btoa() writes; anything else is rejected, not guessed at.
const char* readBase64(const std::string& text, std::vector<unsigned char>* out) {
  if (text.size() % 4 != 0) return "bytes rejected";
  size_t pad = 0;
  if (!text.empty() && text[text.size() - 1] == '=') pad = text[text.size() - 2] == '=' ? 2 : 1;
  if (text.size() / 4 * 3 - pad > BRIDGE_MAX_CHUNK) return "chunk too long";
  out->reserve(text.size() / 4 * 3 - pad);
  for (size_t i = 0; i < text.size(); i += 4) {
    bool last = i + 4 == text.size();
    uint32_t group = 0;
    for (size_t k = 0; k < 4; ++k) {
      int digit = last && k >= 4 - pad ? 0 : base64Digit(text[i + k]);
      if (digit < 0) return "bytes rejected";
      group = group << 6 | static_cast<uint32_t>(digit);
    }
    size_t keep = last ? 3 - pad : 3;
    if (keep < 3 && (group & ((1u << (8 * (3 - keep))) - 1)) != 0) return "bytes rejected";
    for (size_t k = 0; k < keep; ++k) out->push_back(static_cast<unsigned char>(group >> (16 - 8 * k)));
  }
  return nullptr;
}

const char* readStream(const json& message, BridgeRequest* out) {
  auto offset = message.find("offset");
  auto bytes = message.find("bytes");
  auto end = message.find("end");
  int32_t at = 0;
  if (offset == message.end() || !readInteger(*offset, 0, 0x7FFFFFFF, &at)) return "offset rejected";
  if (bytes == message.end() || !(bytes->is_array() || bytes->is_string())) return "bytes missing";
  if (end == message.end() || !end->is_boolean()) return "end rejected";
  out->offset = static_cast<uint32_t>(at);
  out->end = end->get<bool>();
  if (bytes->is_string()) return readBase64(bytes->get_ref<const std::string&>(), &out->bytes);
  // The older form: an array of numbers.
  if (bytes->size() > BRIDGE_MAX_CHUNK) return "chunk too long";
  out->bytes.reserve(bytes->size());
  for (const json& b : *bytes) {
    int32_t v = 0;
    if (!readInteger(b, 0, 255, &v)) return "byte rejected";
    out->bytes.push_back(static_cast<unsigned char>(v));
  }
  return nullptr;
}

struct KindName {
  const char* name;
  BridgeRequestKind kind;
};
const KindName KINDS[] = {{"new", BRIDGE_NEW},
                          {"window", BRIDGE_WINDOW},
                          {"stream", BRIDGE_STREAM},
                          {"destroy", BRIDGE_DESTROY}};

}  // namespace

const char* parseBridgeRequest(const std::string& text, BridgeRequest* out, uint32_t* id) {
  *id = 0;
  *out = BridgeRequest();
  // No exceptions: a text that is not JSON (or not UTF-8) comes back discarded.
  json message = json::parse(text, nullptr, false);
  if (message.is_discarded()) return "not JSON";
  if (!message.is_object()) return "not an object";
  bool hasId = readId(message, &out->id);
  if (hasId) *id = out->id;
  auto type = message.find("type");
  if (type == message.end() || !type->is_string()) return "type missing";
  const std::string& name = type->get_ref<const std::string&>();
  const KindName* kind = nullptr;
  for (const KindName& k : KINDS)
    if (name == k.name) kind = &k;
  if (kind == nullptr) return "unknown type";
  if (!hasId) return "id rejected";
  out->kind = kind->kind;
  switch (kind->kind) {
    case BRIDGE_NEW: return readNew(message, out);
    case BRIDGE_WINDOW: return readWindow(message, out);
    case BRIDGE_STREAM: return readStream(message, out);
    case BRIDGE_DESTROY: return nullptr;
  }
  return "unknown type";
}

const char* parseBridgeLease(const std::string& text, std::vector<uint32_t>* ids) {
  ids->clear();
  json message = json::parse(text, nullptr, false);
  if (message.is_discarded() || !message.is_object()) return "not a lease";
  auto type = message.find("type");
  if (type == message.end() || !type->is_string() || type->get_ref<const std::string&>() != "lease")
    return "not a lease";
  auto list = message.find("ids");
  if (list == message.end() || !list->is_array() || list->empty()) return "ids missing";
  if (list->size() > BRIDGE_MAX_LEASE_IDS) return "too many ids";
  for (const json& value : *list) {
    uint32_t id = 0;
    if (!readIdValue(value, &id)) {
      ids->clear();
      return "id rejected";
    }
    ids->push_back(id);
  }
  return nullptr;
}

std::string newReply(uint32_t id, const char* result, int32_t linkId) {
  json reply = {{"type", "new"}, {"id", id}, {"result", result}};
  if (linkId >= 0) reply["linkId"] = linkId;
  return reply.dump();
}

std::string errorReply(uint32_t id, const char* reason) {
  json reply = {{"type", "error"}, {"reason", reason}};
  if (id != 0) reply["id"] = id;
  return reply.dump();
}

std::string noticeMessage(const char* notice) {
  return json({{"type", "notice"}, {"notice", notice}}).dump();
}
