#include "bridge/bridge_messages.h"

#include <cstring>

#include <nlohmann/json.hpp>

namespace {

using nlohmann::json;

// An object id: an integer from 1 to BRIDGE_MAX_OBJECT_ID (JSON numbers that are not whole
// numbers, or out of range, are none).
bool readId(const json& message, uint32_t* id) {
  auto it = message.find("id");
  if (it == message.end() || !it->is_number_integer()) return false;
  if (it->is_number_unsigned()) {
    uint64_t v = it->get<uint64_t>();
    if (v == 0 || v > BRIDGE_MAX_OBJECT_ID) return false;
    *id = static_cast<uint32_t>(v);
    return true;
  }
  int64_t v = it->get<int64_t>();
  if (v <= 0 || v > BRIDGE_MAX_OBJECT_ID) return false;
  *id = static_cast<uint32_t>(v);
  return true;
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

const char* readStream(const json& message, BridgeRequest* out) {
  auto offset = message.find("offset");
  auto bytes = message.find("bytes");
  auto end = message.find("end");
  int32_t at = 0;
  if (offset == message.end() || !readInteger(*offset, 0, 0x7FFFFFFF, &at)) return "offset rejected";
  if (bytes == message.end() || !bytes->is_array()) return "bytes missing";
  if (bytes->size() > BRIDGE_MAX_CHUNK) return "chunk too long";
  if (end == message.end() || !end->is_boolean()) return "end rejected";
  out->offset = static_cast<uint32_t>(at);
  out->bytes.reserve(bytes->size());
  for (const json& b : *bytes) {
    int32_t v = 0;
    if (!readInteger(b, 0, 255, &v)) return "byte rejected";
    out->bytes.push_back(static_cast<unsigned char>(v));
  }
  out->end = end->get<bool>();
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
