// Link-file streams: the header updates the instance's LinkRecord, the bytes go on with their
// option word swapped, in a copy the module owns.
#include <windows.h>

#include "plugin/instance_private_block.h"
#include "plugin/instance_table.h"
#include "link/link_file_chunks.h"
#include "plugin/npp_functions.h"
#include "plugin/slot_messages.h"

namespace {
// Always ready for another 32 KB.
const int32_t WRITE_READY_BYTES = 0x8000;

// Whether `slot` still belongs to `instance`, created, under `linkId`.
bool stillLinked(const InstanceSlot& slot, NPP instance, LinkIdentifier linkId) {
  return isCreated(slot) && slot.instance == instance && slot.linkId == linkId;
}

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
  HeldLinkFileHeader nothingHeld = {};
  const HeldLinkFileHeader* held = nullptr;  // null: no stream to hold bytes for
  if (stream != nullptr) {
    link = heldHeaderOf(blockOf(*slot), stream);
    held = *link != nullptr ? &(*link)->header : &nothingHeld;
  }
  LinkFileChunkAction action =
      planLinkFileChunk(held, chunk, length, static_cast<uint32_t>(offset));

  if (action == LINK_CHUNK_HOLD) {
    // No room to hold it: consumed.
    if (*link == nullptr && holdStreamHeader(link, stream) == nullptr) return len;
    holdLinkFileChunk((*link)->header, chunk, length, static_cast<uint32_t>(offset));
    return len;
  }

  // The file's start, in the module's own copy; the held bytes are then done with.
  unsigned char* file = nullptr;
  size_t fileLength = 0;
  if (action != LINK_CHUNK_CONSUME) {
    fileLength = linkFileStartLength(action, held, length);
    file = static_cast<unsigned char*>(HeapAlloc(GetProcessHeap(), 0, fileLength));
    if (file != nullptr) copyLinkFileStart(file, action, held, chunk, length);
  }
  if (link != nullptr && *link != nullptr) dropHeldHeader(link);
  if (file == nullptr) return len;

  if (applyLinkFileHeader(slot->link, file, fileLength)) {
    // Re-entry: each send can run a nested NPP_Destroy, which releases the slot (perhaps for
    // another instance), and even an unload: only the copied identifier and the module's own
    // buffer are used, and the data goes only to a link that still exists.
    LinkIdentifier linkId = slot->linkId;
    sendSlotMessage(*slot, LINKMSG_STREAM_INFO, &slot->link, sizeof slot->link);
    if (stillLinked(*slot, instance, linkId))
      sendSlotMessage(*slot, LINKMSG_STREAM_DATA, file, static_cast<uint32_t>(fileLength));
  }
  // The data counts as consumed whether or not the client application took it: the browser
  // would only send it again into the same client.
  HeapFree(GetProcessHeap(), 0, file);
  return len;
}

void NPP_Print(NPP, NPPrint*) {}
