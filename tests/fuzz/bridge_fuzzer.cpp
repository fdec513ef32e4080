// Fuzzes what a page can make the extension send the host: the native-message stream (byte
// 0 odd) or one message text (byte 0 even), then the input's end. The second byte picks the
// client's answers. Invariants: at most 20 objects; every message the host writes is JSON;
// link messages go only to objects the client accepted, with the payload lengths of the
// protocol; the input's end leaves nothing.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include <nlohmann/json.hpp>

#include "bridge/bridge_session.h"
#include "fuzz_check.h"

namespace {

uint8_t answers;
unsigned sends;

bool send(void* client, LinkMessageCode code, const void* payload, uint32_t length,
          LinkIdentifier, uint32_t* reply) {
  FUZZ_CHECK(client != nullptr);
  FUZZ_CHECK((payload == nullptr) == (length == 0));
  switch (code) {
    case LINKMSG_NEW: case LINKMSG_STREAM_INFO: FUZZ_CHECK(length == sizeof(LinkRecord)); break;
    case LINKMSG_SET_WINDOW: FUZZ_CHECK(length == sizeof(WindowRecord)); break;
    case LINKMSG_DESTROY: case LINKMSG_PAINT: FUZZ_CHECK(length == 0); break;
    case LINKMSG_STREAM_DATA: FUZZ_CHECK(length >= LINK_FILE_FIXED_SIZE); break;
  }
  // Every third answer from the second byte's bits: accepted, refused or undelivered.
  unsigned pick = (answers >> (2 * (sends++ % 4))) & 3;
  if (reply != nullptr) *reply = pick == 1 ? 1 : (pick << 16);
  return pick != 3;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  answers = data[1];
  sends = 0;
  BridgeSession session = {};
  BridgeSystem& s = session.system;
  s.link.reachClient = []() -> void* { return reinterpret_cast<void*>(0xC1); };
  s.link.send = send;
  s.link.memory = bridgeMemory;
  s.destroyWindow = [](void* w) { FUZZ_CHECK(w != nullptr); };
  s.clientAlive = [](void*) { return (answers & 1) != 0; };
  s.createWindow = [](uint32_t id) -> void* { return reinterpret_cast<void*>(uintptr_t(id) << 4); };
  s.placeWindow = [](void* w, const ScreenBox&, const ScreenBox&, bool) { FUZZ_CHECK(w != nullptr); };
  // A stored command need not be UTF-8: the answers must still be JSON.
  s.client.status = [](BridgeClientStatus* st) { *st = {"C:\\\xff\xfe.EXE", "", (answers & 2) != 0}; };
  s.client.reach = []() -> const char* { return "not-started"; };
  s.write = [](const std::string& m) {
    FUZZ_CHECK(nlohmann::json::accept(m));
  };
  s.now = []() { return uint32_t(sends) * 300; };  // leases lapse as the client is sent to
  const unsigned char* body = data + 2;
  size_t length = size - 2;
  if (data[0] & 1) {
    NativeFrameReader reader = {};
    std::vector<NativeFrame> frames;
    // Two reads, split where the first byte says, as pipes deliver.
    size_t split = length == 0 ? 0 : data[0] % length;
    readNativeFrames(reader, body, split, frames);
    readNativeFrames(reader, body + split, length - split, frames);
    for (const NativeFrame& f : frames) {
      handleBridgeFrame(session, f);
      paintBridgeObject(session, 1);
      expireBridgeLeases(session);
    }
  } else {
    std::string text(reinterpret_cast<const char*>(body), length);
    handleBridgeFrame(session, {false, text});
    std::vector<uint32_t> ids;
    if (parseBridgeLease(text, &ids) == nullptr)
      FUZZ_CHECK(!ids.empty() && ids.size() <= BRIDGE_MAX_LEASE_IDS);
    else
      FUZZ_CHECK(ids.empty());
  }
  FUZZ_CHECK(bridgeObjectCount(session) <= BRIDGE_MAX_OBJECTS);
  checkBridgeClient(session);
  endBridgeSession(session);
  FUZZ_CHECK(bridgeObjectCount(session) == 0);
  return 0;
}
