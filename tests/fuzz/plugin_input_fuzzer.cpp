// Fuzzes what a web page feeds the plug-in: embed attributes and a link-file stream.
// Input (at most MAX_INPUT bytes): two bytes, little-endian, the length A of the attribute
// section (clamped to what follows); then A bytes of attributes, NUL-separated as name, value,
// name, value ... (an odd last name gets a null value); then three bytes: flags (bit 0: no
// stream, bit 1: the second chunk arrives at a wrong offset) and two cut positions; the rest
// is the link file, delivered as up to three chunks cut there.
// The texts are carved out of one exact-size heap copy and every chunk is an exact-size heap
// copy, so ASan reports any read past the attribute section or a chunk.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "link/link_file_chunks.h"
#include "link/embed_attributes.h"
#include "link/link_file_header.h"
#include "fuzz_check.h"

namespace {

// Every field rejects values over 255 bytes: longer inputs only slow the search down.
const size_t MAX_INPUT = 1024;
const uint32_t THREAD = 0x12345678;
const uint32_t ALL_FLAGS = LF_PLAY_NOW | LF_LIVE | LF_FULL_SCREEN | LF_NO_AUDIO | LF_NO_VIDEO |
                           LF_NO_CONTROL | LF_DEFAULT_CONTROLS | LF_CTL_PLAY | LF_CTL_STOP;

// The code page of this model is Latin-1: a character above U+00FF has no code there, as a
// character the ANSI code page lacks is rejected by the module's converter. It decodes the
// text independently, so it also checks the real decision that sent it here (isUtf8BeyondAscii
// in buildLinkRecord): only well-formed UTF-8 beyond ASCII may arrive.
bool latin1CodePage(char* out, size_t capacity, const char* utf8) {
  FUZZ_CHECK(capacity == CONVERTED_VALUE_CAPACITY);
  const unsigned char* p = reinterpret_cast<const unsigned char*>(utf8);
  size_t written = 0;
  bool beyondAscii = false;
  bool representable = true;
  while (*p != 0) {
    uint32_t c = *p++;
    int follow = c < 0x80 ? 0 : c < 0xE0 ? 1 : c < 0xF0 ? 2 : 3;
    FUZZ_CHECK(c < 0x80 || (c >= 0xC2 && c <= 0xF4));
    if (follow != 0) c &= 0x3F >> follow;
    for (int i = 0; i < follow; ++i, ++p) {
      FUZZ_CHECK((*p & 0xC0) == 0x80);
      c = (c << 6) | (*p & 0x3F);
    }
    FUZZ_CHECK(c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF));
    FUZZ_CHECK(follow == 0 || c >= (follow == 1 ? 0x80u : follow == 2 ? 0x800u : 0x10000u));
    beyondAscii |= c >= 0x80;
    if (c > 0xFF) representable = false;
    if (written + 1 < capacity) out[written] = static_cast<char>(c);
    ++written;
  }
  FUZZ_CHECK(beyondAscii);
  if (!representable || written >= capacity) return false;
  out[written] = '\0';
  return true;
}

bool terminatedWithin(const char* field, size_t size) {
  return std::memchr(field, '\0', size) != nullptr;
}

void checkRecord(const LinkRecord& link) {
  FUZZ_CHECK(terminatedWithin(link.streamName, sizeof link.streamName));
  FUZZ_CHECK(terminatedWithin(link.server, sizeof link.server));
  FUZZ_CHECK((link.flags & ~ALL_FLAGS) == 0);
  FUZZ_CHECK(link.reserved == 0);
  FUZZ_CHECK(link.threadHandle == THREAD);
  for (uint8_t b : link.spare) FUZZ_CHECK(b == 0);  // the reset zeroes what was there
}

// The file delivered as NPP_Write does with its chunks; checks what is held and sent.
void playStream(LinkRecord& link, const uint8_t* file, size_t n, uint8_t flags, size_t cut1,
                size_t cut2) {
  bool stream = (flags & 1) == 0;
  bool wrongOffset = (flags & 2) != 0;
  if (cut1 > n) cut1 = n;
  if (cut2 > n) cut2 = n;
  if (cut2 < cut1) cut2 = cut1;
  const size_t ends[3] = {cut1, cut2, n};
  HeldLinkFileHeader held = {};
  bool sentFromStart = false;
  size_t from = 0;
  for (int i = 0; i < 3; from = ends[i++]) {
    size_t length = ends[i] - from;
    if (length == 0) continue;  // NPP_Write returns before planning
    unsigned char* chunk = new unsigned char[length];
    std::memcpy(chunk, file + from, length);
    uint32_t offset = static_cast<uint32_t>(from) + (wrongOffset && i == 1 ? 1 : 0);
    const HeldLinkFileHeader* h = stream ? &held : nullptr;
    LinkFileChunkAction action = planLinkFileChunk(h, chunk, length, offset);
    if (action == LINK_CHUNK_HOLD) {
      FUZZ_CHECK(stream);
      holdLinkFileChunk(held, chunk, length, offset);
      // Only the stream's start is held, in order, and never a whole header.
      FUZZ_CHECK(held.length < LINK_FILE_HEADER_MAX_SIZE && offset + length == held.length);
      FUZZ_CHECK(std::memcmp(held.bytes, file, held.length) == 0);
    } else if (action != LINK_CHUNK_CONSUME) {
      FUZZ_CHECK(action == LINK_CHUNK_APPLY || stream);
      size_t start = action == LINK_CHUNK_COMPLETE ? 0 : from;
      size_t outLength = linkFileStartLength(action, h, length);
      FUZZ_CHECK(outLength == ends[i] - start);
      unsigned char* out = new unsigned char[outLength];
      copyLinkFileStart(out, action, h, chunk, length);
      FUZZ_CHECK(applyLinkFileHeader(link, out, outLength));
      checkRecord(link);
      FUZZ_CHECK(out[14] == file[start + 15] && out[15] == file[start + 14]);
      FUZZ_CHECK(std::memcmp(out + 16, file + start + 16, outLength - 16) == 0);
      sentFromStart |= start == 0;
      delete[] out;
    }
    if (action != LINK_CHUNK_HOLD) held.length = 0;
    delete[] chunk;
  }
  // A header that the whole file starts with is never lost to the cuts of an ordered stream.
  if (stream && !wrongOffset && linkFileHeaderApplies(file, n)) FUZZ_CHECK(sentFromStart);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2 || size > MAX_INPUT) return 0;
  size_t attributeLength = static_cast<size_t>(data[0] | (data[1] << 8));
  data += 2;
  size -= 2;
  if (attributeLength > size) attributeLength = size;

  // One copy of the section with a NUL behind it; each text ends at a separator.
  char* section = new char[attributeLength + 1];
  if (attributeLength != 0) std::memcpy(section, data, attributeLength);
  section[attributeLength] = '\0';
  std::vector<const char*> names, values;
  bool isName = true;
  for (size_t start = 0; start < attributeLength; isName = !isName) {
    const char* text = section + start;
    (isName ? names : values).push_back(text);
    start += std::strlen(text) + 1;
  }
  if (values.size() < names.size()) values.push_back(nullptr);
  FUZZ_CHECK(names.size() <= 0x7FFF);  // MAX_INPUT leaves fewer

  LinkRecord link;
  std::memset(&link, 'x', sizeof link);  // a reused slot: junk everywhere, no terminators
  int32_t linkSpecified = buildLinkRecord(link, static_cast<int16_t>(names.size()), names.data(),
                                          values.data(), THREAD, latin1CodePage);
  FUZZ_CHECK(linkSpecified == 0 || linkSpecified == 1);
  if (linkSpecified == 0) FUZZ_CHECK((link.flags & LF_DEFAULT_CONTROLS) == LF_DEFAULT_CONTROLS);
  checkRecord(link);

  const uint8_t* rest = data + attributeLength;
  size_t restLength = size - attributeLength;
  if (restLength >= 3) playStream(link, rest + 3, restLength - 3, rest[0], rest[1], rest[2]);
  delete[] section;
  return 0;
}
