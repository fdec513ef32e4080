#include "link/link_file_header.h"

#include <cstring>

namespace {

uint16_t bigEndian16(const unsigned char* p) {
  return static_cast<uint16_t>((p[0] << 8) | p[1]);
}

// Writes `value` in decimal at `out`; returns the position after the last digit.
char* appendDecimal(char* out, unsigned value) {
  char digits[3];
  int count = 0;
  do {
    digits[count++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  while (count > 0) *out++ = digits[--count];
  return out;
}

// "%u.%u.%u.%u": at most 15 characters and a NUL.
void formatAddress(char (&text)[16], const unsigned char* octets) {
  char* out = text;
  for (int i = 0; i < 4; ++i) {
    if (i > 0) *out++ = '.';
    out = appendDecimal(out, octets[i]);
  }
  *out = '\0';
}

const uint32_t HEADER_CLEARED_CONTROLS = 0xFF60FFFF;  // the default control set, cleared
static_assert(~HEADER_CLEARED_CONTROLS == LF_DEFAULT_CONTROLS,
              "a header without a control panel clears exactly the default control set");

// Whether the header at `buffer` applies; then `*name` and `*nameLength` give its stream name
// (null when selection is not 0).
bool headerApplies(const unsigned char* buffer, size_t length, const char** name,
                   size_t* nameLength) {
  if (buffer == nullptr || length < LINK_FILE_FIXED_SIZE) return false;
  if (buffer[LINK_FILE_MAGIC_OFFSET] != LINK_FILE_MAGIC) return false;
  *name = nullptr;
  *nameLength = 0;
  if (bigEndian16(buffer + LINK_FILE_SELECTION_OFFSET) != 0) return true;
  if (length <= LINK_FILE_NAME_OFFSET) return false;
  const unsigned char* start = buffer + LINK_FILE_NAME_OFFSET;
  const void* nul = std::memchr(start, '\0', length - LINK_FILE_NAME_OFFSET);
  if (nul == nullptr) return false;
  *nameLength = static_cast<size_t>(static_cast<const unsigned char*>(nul) - start);
  *name = reinterpret_cast<const char*>(start);
  return *nameLength < sizeof(LinkRecord::streamName);
}

}  // namespace

bool linkFileHeaderApplies(const unsigned char* buffer, size_t length) {
  const char* name;
  size_t nameLength;
  return headerApplies(buffer, length, &name, &nameLength);
}

bool applyLinkFileHeader(LinkRecord& link, unsigned char* buffer, size_t length) {
  // Checked before anything changes: a chunk is applied whole or not at all.
  const char* name;
  size_t nameLength;
  if (!headerApplies(buffer, length, &name, &nameLength)) return false;
  uint16_t selection = bigEndian16(buffer + LINK_FILE_SELECTION_OFFSET);

  char address[16];
  formatAddress(address, buffer + LINK_FILE_ADDRESS_OFFSET);
  std::memcpy(link.server, address, std::strlen(address) + 1);
  link.port = bigEndian16(buffer + LINK_FILE_PORT_OFFSET);
  link.selection = selection;

  uint16_t options = bigEndian16(buffer + LINK_FILE_OPTIONS_OFFSET);
  // From here on the buffer carries the option word little-endian.
  buffer[LINK_FILE_OPTIONS_OFFSET] = static_cast<unsigned char>(options & 0xFF);
  buffer[LINK_FILE_OPTIONS_OFFSET + 1] = static_cast<unsigned char>(options >> 8);

  if (name != nullptr) {
    std::memcpy(link.streamName, name, nameLength + 1);
  } else {
    link.streamName[0] = '\0';
  }

  if ((options & LINK_FILE_OPTION_NO_CONTROL) != 0) {
    link.flags = (link.flags & HEADER_CLEARED_CONTROLS) | LF_NO_CONTROL;
  }
  return true;
}

bool linkFileHeaderCutShort(const unsigned char* buffer, size_t length) {
  if (buffer == nullptr || length == 0 || buffer[LINK_FILE_MAGIC_OFFSET] != LINK_FILE_MAGIC)
    return false;
  if (length < LINK_FILE_FIXED_SIZE) return true;
  if (bigEndian16(buffer + LINK_FILE_SELECTION_OFFSET) != 0) return false;
  if (length <= LINK_FILE_NAME_OFFSET) return true;
  // The name so far runs to the chunk's end: unterminated, and its NUL would still fit.
  size_t nameSoFar = length - LINK_FILE_NAME_OFFSET;
  return nameSoFar < sizeof(LinkRecord::streamName) &&
         std::memchr(buffer + LINK_FILE_NAME_OFFSET, '\0', nameSoFar) == nullptr;
}
