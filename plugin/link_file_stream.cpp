// Link-file streams: each stream's header cut short is held in the instance's block; the
// link core (link/link_object.h) updates the record and forwards the file's start.
#include "plugin/instance_private_block.h"
#include "plugin/instance_table.h"
#include "plugin/npp_functions.h"
#include "plugin/object_calls.h"

namespace {
// Always ready for another 32 KB.
const int32_t WRITE_READY_BYTES = 0x8000;

// What a stream that holds no bytes yet holds; never written.
HeldLinkFileHeader nothingHeld;
}  // namespace

NPError NPP_NewStream(NPP instance, NPMIMEType, NPStream*, NPBool, uint16_t*) {
  // Every stream is accepted with the delivery the browser chose.
  if (instance == nullptr) return NPERR_INVALID_INSTANCE_ERROR;
  return NPERR_NO_ERROR;
}

NPError NPP_DestroyStream(NPP instance, NPStream* stream, NPReason) {
  if (instance == nullptr) return NPERR_INVALID_INSTANCE_ERROR;
  // A header still cut short when its stream ends is never sent.
  InstanceSlot* slot = instanceSlot(instance);
  if (slot != nullptr && stream != nullptr) {
    HeldStreamHeader** link = heldHeaderOf(blockOf(*slot), stream);
    if (*link != nullptr) dropHeldHeader(link);
  }
  return NPERR_NO_ERROR;
}

void NPP_StreamAsFile(NPP, NPStream*, const char*) {}

int32_t NPP_WriteReady(NPP, NPStream*) { return WRITE_READY_BYTES; }

int32_t NPP_Write(NPP instance, NPStream* stream, int32_t offset, int32_t len, void* buffer) {
  if (instance == nullptr) return -1;  // negative: the browser ends the stream
  if (buffer == nullptr || len <= 0) return 0;

  // Only an instance NPP_New created has a record to update and an identifier to send with;
  // the data of any other is consumed and nothing is sent. Every byte handed over is
  // consumed: a 0 would have the browser deliver the same bytes again, alone, for ever.
  InstanceSlot* slot = instanceSlot(instance);
  if (slot == nullptr || !isCreated(*slot)) return len;

  // The browser's buffer may be read-only memory: it is only ever read.
  const unsigned char* chunk = static_cast<const unsigned char*>(buffer);
  size_t length = static_cast<size_t>(len);
  HeldStreamHeader** link = nullptr;
  const HeldLinkFileHeader* held = nullptr;  // null: no stream to hold bytes for
  if (stream != nullptr) {
    link = heldHeaderOf(blockOf(*slot), stream);
    held = *link != nullptr ? &(*link)->header : &nothingHeld;
  }
  LinkFileStart start =
      takeLinkFileChunk(moduleObjectCalls, held, chunk, length, static_cast<uint32_t>(offset));
  if (start.action == LINK_CHUNK_HOLD) {
    // No room to hold it: consumed.
    if (*link == nullptr && holdStreamHeader(link, stream) == nullptr) return len;
    holdLinkFileChunk((*link)->header, chunk, length, static_cast<uint32_t>(offset));
    return len;
  }
  // The held bytes are done with before anything is sent.
  if (link != nullptr && *link != nullptr) dropHeldHeader(link);
  // Re-entry: each send can run a nested NPP_Destroy, which releases the slot (perhaps for
  // another instance), and even an unload; the core then sends no more for this instance.
  forwardLinkFileStart(*slot, moduleObjectCalls, start);
  return len;
}

void NPP_Print(NPP, NPPrint*) {}
