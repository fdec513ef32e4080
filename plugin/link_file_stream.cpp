// Link-file streams: the header updates the instance's LinkRecord, the bytes go on unchanged.
#include "link/link_channel.h"
#include "plugin/instance_table.h"
#include "plugin/link_file_header.h"
#include "plugin/npp_functions.h"
#include "plugin/plugin_window.h"

namespace {
// Always ready for another 32 KB.
const int32_t WRITE_READY_BYTES = 0x8000;
}  // namespace

NPError NPP_NewStream(NPP instance, NPMIMEType, NPStream*, NPBool, uint16_t*) {
  // Every stream is accepted with the delivery the browser chose.
  if (instance == nullptr) return NPERR_INVALID_INSTANCE_ERROR;
  return NPERR_NO_ERROR;
}

NPError NPP_DestroyStream(NPP instance, NPStream*, NPReason) {
  if (instance == nullptr) return NPERR_INVALID_INSTANCE_ERROR;
  return NPERR_NO_ERROR;
}

void NPP_StreamAsFile(NPP, NPStream*, const char*) {}

int32_t NPP_WriteReady(NPP, NPStream*) { return WRITE_READY_BYTES; }

int32_t NPP_Write(NPP instance, NPStream* stream, int32_t offset, int32_t len, void* buffer) {
  if (instance == nullptr) return -1;  // negative: the browser ends the stream
  if (buffer == nullptr || len <= 0) return 0;

  // Only an instance NPP_New created has a record to update and an identifier to send with;
  // the data of any other is consumed and nothing is sent.
  uint16_t index = findSlotForInstance(instanceTable, instance);
  if (index == NO_SLOT || !isCreated(instanceTable.slots[index])) return len;

  // Every chunk is taken as the start of a link file, as the client application has always
  // been sent it. The header's option word is swapped in the browser's own buffer, which is
  // then forwarded as it stands.
  InstanceSlot& slot = instanceTable.slots[index];
  unsigned char* bytes = static_cast<unsigned char*>(buffer);
  if (!applyLinkFileHeader(slot.link, bytes, static_cast<size_t>(len))) {
    // 0 makes the browser deliver the same bytes again, with whatever arrived behind them, for
    // as long as the page is open. Only a header cut short at the stream's start can gain
    // from that; a later chunk is not where a header begins, and a stream whose end is here
    // brings nothing more. Anything else is consumed.
    bool moreCanFollow =
        stream == nullptr || stream->end == 0 || static_cast<uint32_t>(len) < stream->end;
    bool deliverAgain = offset == 0 && moreCanFollow &&
                        linkFileHeaderCutShort(bytes, static_cast<size_t>(len));
    return deliverAgain ? 0 : len;
  }

  // Each send can re-enter, and a nested NPP_Destroy releases the slot, which then sends
  // nowhere. The data counts as consumed whether or not the client application took it: the
  // browser would only send it again into the same client.
  sendSlotMessage(slot, LINKMSG_STREAM_INFO, &slot.link, sizeof slot.link);
  sendSlotMessage(slot, LINKMSG_STREAM_DATA, bytes, static_cast<uint32_t>(len));
  return len;
}

void NPP_Print(NPP, NPPrint*) {}
