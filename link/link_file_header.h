// The header of a link file: server address, port, selection or stream name, and one option
// bit, read into an instance's LinkRecord.
#pragma once

#include <cstddef>

#include "link/link_records.h"

// Header layout (multi-byte fields big-endian).
const size_t LINK_FILE_MAGIC_OFFSET = 0;
const unsigned char LINK_FILE_MAGIC = 'K';
const size_t LINK_FILE_ADDRESS_OFFSET = 4;      // four octets in dotted order
const size_t LINK_FILE_PORT_OFFSET = 8;
const size_t LINK_FILE_SELECTION_OFFSET = 12;   // 0: the stream name applies
const size_t LINK_FILE_OPTIONS_OFFSET = 14;
const size_t LINK_FILE_FIXED_SIZE = 16;
const size_t LINK_FILE_NAME_OFFSET = 34;        // NUL-terminated, read only when selection is 0
const uint16_t LINK_FILE_OPTION_NO_CONTROL = 0x0080;
// The longest header that can apply: a name of 79 bytes and its NUL. Whether a header
// applies never depends on the bytes behind it.
const size_t LINK_FILE_HEADER_MAX_SIZE = LINK_FILE_NAME_OFFSET + sizeof(LinkRecord::streamName);

// Applies the header at the start of a link file to `link` and swaps the option word (bytes
// 14 and 15) in `buffer` in place: a copy the module owns, never the browser's buffer.
// Returns true when applied; false when the bytes are ignored (null or shorter than 16 bytes,
// no magic "K", selection 0 without a NUL-terminated name at 34 inside them, or a name that
// does not fit streamName), in which case neither `link` nor `buffer` changed. Never reads
// past `length`.
bool applyLinkFileHeader(LinkRecord& link, unsigned char* buffer, size_t length);

// Whether applyLinkFileHeader would apply these bytes; changes nothing.
bool linkFileHeaderApplies(const unsigned char* buffer, size_t length);

// Whether bytes are the start of a link-file header cut short: they begin with the magic "K"
// and the same bytes with more behind them could still be applied (fewer than 16 bytes, or
// selection 0 with no NUL after 34 yet and a name so far short enough to fit streamName).
// False for a header that applies and for data that never can. Never reads past `length`.
bool linkFileHeaderCutShort(const unsigned char* buffer, size_t length);
