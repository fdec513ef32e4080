// A stream's link-file header cut short, held until the chunks behind it complete it.
#pragma once

#include "link/link_file_chunks.h"
#include "plugin/npapi.h"

// Hung off stream->pdata and listed in the instance's private block, which frees what a
// browser never destroyed with the instance. Only a state found in that list is touched.
struct HeldStreamHeader {
  HeldStreamHeader* next;  // the instance's next stream with a header held
  NPStream* stream;
  HeldLinkFileHeader header;
};
static_assert(sizeof(HeldStreamHeader) <= 8 * sizeof(void*) + LINK_FILE_HEADER_MAX_SIZE,
              "a held header costs its stream little more than its bytes");

// Frees `first` and every state behind it; null does nothing.
void freeHeldStreamHeaders(HeldStreamHeader* first);
