#include "tools/linkmon/linkmon_decode.h"

#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "link/link_records.h"

namespace {

// Bytes shown for STREAM_DATA and for payloads of unknown messages.
const size_t kStreamDataShown = 64;
const size_t kOtherShown = 256;
const size_t kHexPerLine = 16;

std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char* fmt, ...) {
  char buf[512];
  va_list ap;
  va_start(ap, fmt);
  vsnprintf(buf, sizeof buf, fmt, ap);
  va_end(ap);
  return buf;
}

// Little-endian reads, independent of the host and of alignment.
uint32_t readU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}
uint16_t readU16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | p[1] << 8);
}

// A text field up to its NUL, quoted, non-printable bytes as \xNN.
std::string quotedField(const uint8_t* p, size_t width, bool* terminated) {
  const void* nul = memchr(p, 0, width);
  size_t n = nul ? static_cast<size_t>(static_cast<const uint8_t*>(nul) - p) : width;
  *terminated = nul != nullptr;
  std::string s = "\"";
  for (size_t i = 0; i < n; ++i) {
    uint8_t c = p[i];
    if (c == '"' || c == '\\') {
      s += '\\';
      s += static_cast<char>(c);
    } else if (c >= 0x20 && c < 0x7F) {
      s += static_cast<char>(c);
    } else {
      s += format("\\x%02x", c);
    }
  }
  return s + "\"";
}

void addHexDump(std::vector<std::string>* out, const uint8_t* data, size_t length,
                size_t shown) {
  size_t n = length < shown ? length : shown;
  for (size_t off = 0; off < n; off += kHexPerLine) {
    size_t row = n - off < kHexPerLine ? n - off : kHexPerLine;
    out->push_back(format("  %04x  ", static_cast<unsigned>(off)) + hexBytes(data + off, row, " "));
  }
  if (length > n) out->push_back(format("  ... %u more bytes", static_cast<unsigned>(length - n)));
}

void addTextField(std::vector<std::string>* out, const char* name, const uint8_t* p,
                  size_t width) {
  bool terminated = false;
  std::string text = quotedField(p, width, &terminated);
  out->push_back(format("  %-13s", name) + text);
  if (!terminated)
    out->push_back(format("  note: %s fills all %u bytes without a NUL", name,
                          static_cast<unsigned>(width)));
}

void addLinkRecord(std::vector<std::string>* out, const uint8_t* p) {
  addTextField(out, "streamName", p + offsetof(LinkRecord, streamName),
               sizeof LinkRecord().streamName);
  uint32_t flags = readU32(p + offsetof(LinkRecord, flags));
  out->push_back(format("  %-13s0x%08" PRIx32 "  ", "flags", flags) + flagNames(flags));
  int32_t reserved = static_cast<int32_t>(readU32(p + offsetof(LinkRecord, reserved)));
  out->push_back(format("  %-13s%" PRId32, "reserved", reserved));
  if (reserved != 0) out->push_back("  note: reserved is not 0");
  addTextField(out, "server", p + offsetof(LinkRecord, server), sizeof LinkRecord().server);
  out->push_back(format("  %-13s%u", "port", readU16(p + offsetof(LinkRecord, port))));
  out->push_back(format("  %-13s%" PRId32, "selection",
                        static_cast<int32_t>(readU32(p + offsetof(LinkRecord, selection)))));
  out->push_back(format("  %-13s0x%08" PRIx32, "threadHandle",
                        readU32(p + offsetof(LinkRecord, threadHandle))));
  out->push_back(format("  %-13s%" PRId32, "tag",
                        static_cast<int32_t>(readU32(p + offsetof(LinkRecord, tag)))));
  out->push_back(format("  %-13s", "spare") +
                 hexBytes(p + offsetof(LinkRecord, spare), sizeof LinkRecord().spare, " "));
}

void addWindowRecord(std::vector<std::string>* out, const uint8_t* p) {
  static const char* const kNames[] = {"window", "x", "y", "width", "height"};
  for (size_t i = 0; i < 5; ++i) {
    uint32_t v = readU32(p + 4 * i);
    out->push_back(format("  %-13s0x%08" PRIx32, kNames[i], v));
    if (i > 0 && v != 0) out->push_back(format("  note: %s is not 0", kNames[i]));
  }
}

std::string describeReply(uint64_t code, uint32_t reply) {
  std::string s = format("  %-13s0x%08" PRIx32, "reply", reply);
  if (code != LINKMSG_NEW) return s;
  switch (newLinkReplyKind(reply)) {
    case NEW_LINK_ACCEPTED:
      return s + format("  accepted, LinkIdentifier %u", newLinkReplyIdentifier(reply));
    case NEW_LINK_REFUSED: return s + "  refused";
    case NEW_LINK_ACCEPTED_WITHOUT_ID: return s + "  accepted without identifier";
  }
  return s;
}

// The payload length each code must carry; -1 when any length is fine.
long expectedLength(uint64_t code) {
  switch (code) {
    case LINKMSG_NEW:
    case LINKMSG_STREAM_INFO: return sizeof(LinkRecord);
    case LINKMSG_SET_WINDOW: return sizeof(WindowRecord);
    case LINKMSG_DESTROY:
    case LINKMSG_PAINT: return 0;
    default: return -1;
  }
}

}  // namespace

const char* linkCodeName(uint64_t code) {
  switch (code) {
    case LINKMSG_NEW: return "LINKMSG_NEW";
    case LINKMSG_DESTROY: return "LINKMSG_DESTROY";
    case LINKMSG_SET_WINDOW: return "LINKMSG_SET_WINDOW";
    case LINKMSG_PAINT: return "LINKMSG_PAINT";
    case LINKMSG_STREAM_INFO: return "LINKMSG_STREAM_INFO";
    case LINKMSG_STREAM_DATA: return "LINKMSG_STREAM_DATA";
    default: return "unknown";
  }
}

std::string flagNames(uint32_t flags) {
  struct Named {
    uint32_t bits;
    const char* name;
  };
  static const Named kFlags[] = {
      {LF_PLAY_NOW, "LF_PLAY_NOW"},           {LF_LIVE, "LF_LIVE"},
      {LF_FULL_SCREEN, "LF_FULL_SCREEN"},     {LF_NO_AUDIO, "LF_NO_AUDIO"},
      {LF_NO_VIDEO, "LF_NO_VIDEO"},           {LF_NO_CONTROL, "LF_NO_CONTROL"},
      {LF_EMBED_CONTROL, "LF_EMBED_CONTROL"}, {LF_CTL_VIEWER, "LF_CTL_VIEWER"},
      {LF_CTL_VOLUME, "LF_CTL_VOLUME"},       {LF_CTL_SLIDER, "LF_CTL_SLIDER"},
      {LF_CTL_PLAY, "LF_CTL_PLAY"},           {LF_CTL_STOP, "LF_CTL_STOP"},
      {LF_CTL_PLAYSTOP, "LF_CTL_PLAYSTOP"}};
  if (flags == 0) return "none";
  std::string s;
  uint32_t rest = flags;
  for (const Named& f : kFlags) {
    if ((flags & f.bits) != f.bits) continue;  // LF_CTL_SLIDER only with both its bits
    if (!s.empty()) s += " | ";
    s += f.name;
    rest &= ~f.bits;
  }
  if (rest != 0) {
    if (!s.empty()) s += " | ";
    s += format("0x%08" PRIx32, rest);
  }
  return s;
}

std::string hexBytes(const uint8_t* data, size_t length, const char* separator) {
  static const char kDigits[] = "0123456789abcdef";
  std::string s;
  s.reserve(length * (2 + strlen(separator)));
  for (size_t i = 0; i < length; ++i) {
    if (i > 0) s += separator;
    s += kDigits[data[i] >> 4];
    s += kDigits[data[i] & 0xF];
  }
  return s;
}

std::vector<std::string> describeLinkMessage(const LinkMessageView& m) {
  std::vector<std::string> out;
  out.push_back(format("#%" PRIu32 " %s  wParam %" PRIu64 "  LinkIdentifier %" PRIu64
                       "  cbData %" PRIu32 "%s",
                       m.seq, linkCodeName(m.code), m.code, m.dwData, m.cbData,
                       m.data ? "" : "  (no data)"));
  if (m.code == LINKMSG_NEW && m.dwData != 0)
    out.push_back("  note: dwData is not 0 for LINKMSG_NEW");
  if (m.dwData > 0xFFFF) out.push_back("  note: dwData does not fit a 16-bit LinkIdentifier");
  if (m.code != LINKMSG_NEW && m.dwData == LINK_ID_NONE)
    out.push_back("  note: dwData is 0xFFFF, the identifier of an instance that has none");

  // Nothing is read past cbData, and nothing at all through a null pointer.
  uint32_t length = m.data ? m.cbData : 0;
  if (!m.data && m.cbData != 0) out.push_back("  note: cbData is not 0 but there is no data");
  long expected = expectedLength(m.code);
  if (expected >= 0 && m.cbData != static_cast<unsigned long>(expected))
    out.push_back(format("  note: %s should carry %ld bytes", linkCodeName(m.code), expected));

  bool exact = expected >= 0 && length == static_cast<unsigned long>(expected);
  if (exact && (m.code == LINKMSG_NEW || m.code == LINKMSG_STREAM_INFO)) {
    addLinkRecord(&out, m.data);
  } else if (exact && m.code == LINKMSG_SET_WINDOW) {
    addWindowRecord(&out, m.data);
  } else if (m.code == LINKMSG_STREAM_DATA) {
    addHexDump(&out, m.data, length, kStreamDataShown);
  } else if (length != 0) {
    addHexDump(&out, m.data, length, kOtherShown);
  }
  out.push_back(describeReply(m.code, m.reply));
  return out;
}
