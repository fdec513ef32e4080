#include "bridge/bridge_queries.h"

#include <cstdint>

#include <nlohmann/json.hpp>

namespace {

using nlohmann::json;

// Longest type name an error repeats.
const size_t MAX_TYPE_ECHO = 64;

// Texts the host did not take from JSON (a registry's command) may not be UTF-8: dumped with
// a stand-in rather than failing, since the host runs without exceptions.
std::string dump(const json& message) { return message.dump(-1, ' ', false, json::error_handler_t::replace); }

}  // namespace

BridgeQueryKind parseBridgeQuery(const std::string& text) {
  json message = json::parse(text, nullptr, false);
  if (message.is_discarded() || !message.is_object()) return BRIDGE_NOT_A_QUERY;
  auto type = message.find("type");
  if (type == message.end() || !type->is_string()) return BRIDGE_NOT_A_QUERY;
  const std::string& name = type->get_ref<const std::string&>();
  if (name == "hello") return BRIDGE_HELLO;
  if (name == "client-status") return BRIDGE_CLIENT_STATUS;
  if (name == "find-client") return BRIDGE_FIND_CLIENT;
  return BRIDGE_NOT_A_QUERY;
}

std::string helloReply(const char* version) {
  return dump({{"type", "hello"}, {"version", version}, {"protocol", BRIDGE_PROTOCOL}});
}

std::string clientStatusReply(const char* type, const char* result, const BridgeClientStatus& status) {
  json reply = {{"type", type}, {"command", status.command}, {"program", status.program},
                {"running", status.running}};
  if (result != nullptr) reply["result"] = result;
  return dump(reply);
}

std::string unknownTypeReply(uint32_t id, const std::string& text) {
  json reply = {{"type", "error"}, {"reason", "unknown type"}, {"protocol", BRIDGE_PROTOCOL}};
  if (id != 0) reply["id"] = id;
  json message = json::parse(text, nullptr, false);
  if (message.is_object()) {
    auto type = message.find("type");
    if (type != message.end() && type->is_string() && type->get_ref<const std::string&>().size() <= MAX_TYPE_ECHO)
      reply["unknown"] = *type;
  }
  return dump(reply);
}
