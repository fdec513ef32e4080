// Fuzzes what a web page feeds the plug-in: embed attributes and a link-file chunk.
// Input: two bytes, little-endian, the length A of the attribute section (clamped to what
// follows); then A bytes of attributes, NUL-separated as name, value, name, value ... (an odd
// last name gets a null value); the rest is the link-file chunk.
// Every text and the chunk are exact-size heap copies, so ASan reports any read past them.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "plugin/embed_attributes.h"
#include "plugin/link_file_header.h"
#include "text/ansi_text.h"
#include "fuzz_check.h"

namespace {

const uint32_t THREAD = 0x12345678;
const uint32_t ALL_FLAGS = LF_PLAY_NOW | LF_LIVE | LF_FULL_SCREEN | LF_NO_AUDIO | LF_NO_VIDEO |
                           LF_NO_CONTROL | LF_DEFAULT_CONTROLS | LF_CTL_PLAY | LF_CTL_STOP;

char* heapText(const uint8_t* begin, size_t length) {
  char* text = new char[length + 1];
  if (length != 0) std::memcpy(text, begin, length);
  text[length] = '\0';
  return text;
}

// Stands in for the code-page conversion: takes the text as it is when it fits.
bool keepIfFits(char* out, size_t capacity, const char* utf8) {
  FUZZ_CHECK(capacity == CONVERTED_VALUE_CAPACITY);
  return copyTextIfFits(out, capacity, utf8);
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
  for (uint8_t b : link.spare) FUZZ_CHECK(b == 'x');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  size_t attributeLength = static_cast<size_t>(data[0] | (data[1] << 8));
  data += 2;
  size -= 2;
  if (attributeLength > size) attributeLength = size;

  std::vector<char*> texts;
  for (size_t start = 0; start < attributeLength;) {
    const void* nul = std::memchr(data + start, '\0', attributeLength - start);
    size_t end = nul ? static_cast<size_t>(static_cast<const uint8_t*>(nul) - data) : attributeLength;
    texts.push_back(heapText(data + start, end - start));
    start = end + 1;
  }
  std::vector<const char*> names, values;
  for (size_t i = 0; i < texts.size() && names.size() < 0x7FFF; i += 2) {
    names.push_back(texts[i]);
    values.push_back(i + 1 < texts.size() ? texts[i + 1] : nullptr);
  }

  LinkRecord link;
  std::memset(&link, 'x', sizeof link);  // a reused slot: junk everywhere, no terminators
  int32_t linkSpecified = buildLinkRecord(link, static_cast<int16_t>(names.size()), names.data(),
                                          values.data(), THREAD, keepIfFits);
  FUZZ_CHECK(linkSpecified == 0 || linkSpecified == 1);
  if (linkSpecified == 0) FUZZ_CHECK((link.flags & LF_DEFAULT_CONTROLS) == LF_DEFAULT_CONTROLS);
  checkRecord(link);

  size_t chunkLength = size - attributeLength;
  unsigned char* chunk = new unsigned char[chunkLength == 0 ? 1 : chunkLength];
  if (chunkLength != 0) std::memcpy(chunk, data + attributeLength, chunkLength);
  LinkRecord before = link;
  if (applyLinkFileHeader(link, chunk, chunkLength)) {
    checkRecord(link);
    FUZZ_CHECK(chunkLength >= LINK_FILE_FIXED_SIZE && chunk[0] == 'K');
    FUZZ_CHECK(std::strlen(link.server) >= 7 && std::strlen(link.server) <= 15);
    const uint8_t* original = data + attributeLength;
    FUZZ_CHECK(chunk[14] == original[15] && chunk[15] == original[14]);
    FUZZ_CHECK(std::memcmp(chunk + 16, original + 16, chunkLength - 16) == 0);
    FUZZ_CHECK(!linkFileHeaderCutShort(original, chunkLength));  // nothing to wait for
  } else {
    // Worth delivering again only while the header may still complete.
    if (linkFileHeaderCutShort(chunk, chunkLength))
      FUZZ_CHECK(chunk[0] == 'K' && chunkLength < LINK_FILE_NAME_OFFSET + 80);
    FUZZ_CHECK(std::memcmp(&before, &link, sizeof link) == 0);
    FUZZ_CHECK(chunkLength == 0 || std::memcmp(chunk, data + attributeLength, chunkLength) == 0);
  }

  delete[] chunk;
  for (char* text : texts) delete[] text;
  return 0;
}
