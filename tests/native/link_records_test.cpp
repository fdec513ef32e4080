// The LinkRecord layout is also pinned by static_asserts; these check the reply rules, that
// a record built field by field lands at the wire offsets, and that the client application's
// guide (docs/client-integration.md) describes the codes and records the module sends.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "link/link_records.h"

TEST(NewLinkReply, LowHalfSelectsTheOutcome) {
  EXPECT_EQ(NEW_LINK_ACCEPTED, newLinkReplyKind(0x00070000u));
  EXPECT_EQ(7, newLinkReplyIdentifier(0x00070000u));
  EXPECT_EQ(NEW_LINK_REFUSED, newLinkReplyKind(0x00070001u));
  EXPECT_EQ(NEW_LINK_ACCEPTED_WITHOUT_ID, newLinkReplyKind(0x00070002u));
  EXPECT_EQ(NEW_LINK_ACCEPTED_WITHOUT_ID, newLinkReplyKind(0xFFFFFFFFu));
  // Identifier 0xFFFF names no instance: the client cannot have accepted one with it.
  EXPECT_EQ(NEW_LINK_REFUSED, newLinkReplyKind(0xFFFF0000u));
  EXPECT_EQ(NEW_LINK_ACCEPTED, newLinkReplyKind(0xFFFE0000u));
  // A reply of 0 is an acceptance with identifier 0; a send that was not delivered has no
  // reply to read (sendLinkMessage reports it apart).
  EXPECT_EQ(NEW_LINK_ACCEPTED, newLinkReplyKind(0));
  EXPECT_EQ(0, newLinkReplyIdentifier(0));
}

TEST(LinkRecordLayout, FieldsLandAtTheirWireOffsets) {
  LinkRecord r;
  std::memset(&r, 0, sizeof r);
  r.port = 0x1234;
  r.selection = 0x0A0B0C0D;
  r.threadHandle = 0xFFFFFFFE;
  r.tag = -1;
  unsigned char bytes[sizeof r];
  std::memcpy(bytes, &r, sizeof r);
  EXPECT_EQ(0x34, bytes[208]);
  EXPECT_EQ(0x12, bytes[209]);
  EXPECT_EQ(0x0D, bytes[210]);  // natural alignment would put selection at 212
  EXPECT_EQ(0x0A, bytes[213]);
  EXPECT_EQ(0xFE, bytes[214]);
  EXPECT_EQ(0xFF, bytes[221]);
  EXPECT_EQ(0x00, bytes[222]);
}

namespace {

typedef std::vector<std::vector<std::string>> Rows;

std::string trimmed(const std::string& text) {
  size_t first = text.find_first_not_of(" `");
  size_t last = text.find_last_not_of(" `");
  return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

// The body rows of the first table after the line that starts with `marker` (or of the
// table whose header that line is), each cell without spaces and backticks.
Rows tableAfter(const std::string& marker) {
  std::ifstream file(ZUROV_DOCS_DIR "/client-integration.md");
  std::string line;
  bool found = false, inTable = false;
  Rows rows;
  int seen = 0;
  while (std::getline(file, line)) {
    if (!found) {
      found = line.compare(0, marker.size(), marker) == 0;
      if (found && marker[0] == '|') seen = 1;  // the marker is the header itself
      continue;
    }
    if (line.compare(0, 1, "|") != 0) {
      if (inTable) break;
      continue;
    }
    inTable = true;
    if (++seen <= 2) continue;  // the header and its rule
    std::vector<std::string> cells;
    std::stringstream cellStream(line.substr(1));
    std::string cell;
    while (std::getline(cellStream, cell, '|')) cells.push_back(trimmed(cell));
    rows.push_back(cells);
  }
  EXPECT_TRUE(found) << marker;
  return rows;
}

struct Field {
  const char* name;
  size_t offset;
  size_t size;
};
#define FIELD(record, member) {#member, offsetof(record, member), sizeof(record::member)}

void expectFields(const std::string& marker, const std::vector<Field>& fields) {
  Rows rows = tableAfter(marker);
  ASSERT_EQ(fields.size(), rows.size()) << marker;
  for (size_t i = 0; i < rows.size(); ++i) {
    ASSERT_GE(rows[i].size(), 3u);
    EXPECT_EQ(std::to_string(fields[i].offset), rows[i][0]) << fields[i].name;
    EXPECT_EQ(std::to_string(fields[i].size), rows[i][1]) << fields[i].name;
    EXPECT_EQ(fields[i].name, rows[i][2]);
  }
}

std::string hex8(uint32_t value) {
  char text[11];
  snprintf(text, sizeof text, "0x%08X", value);
  return text;
}

}  // namespace

TEST(ClientIntegrationGuide, DescribesTheCodesAndRecordsAsSent) {
  struct Code {
    uint32_t value;
    const char* name;
    const char* length;
  };
  const Code codes[] = {{LINKMSG_NEW, "LINKMSG_NEW", "238"},
                        {LINKMSG_DESTROY, "LINKMSG_DESTROY", "0"},
                        {LINKMSG_SET_WINDOW, "LINKMSG_SET_WINDOW", "20"},
                        {LINKMSG_PAINT, "LINKMSG_PAINT", "0"},
                        {LINKMSG_STREAM_INFO, "LINKMSG_STREAM_INFO", "238"},
                        {LINKMSG_STREAM_DATA, "LINKMSG_STREAM_DATA", "any"}};
  Rows rows = tableAfter("| code | name |");
  ASSERT_EQ(sizeof codes / sizeof codes[0], rows.size());
  for (size_t i = 0; i < rows.size(); ++i) {
    ASSERT_EQ(4u, rows[i].size());
    EXPECT_EQ(std::to_string(codes[i].value), rows[i][0]);
    EXPECT_EQ(codes[i].name, rows[i][1]);
    EXPECT_EQ(codes[i].length, rows[i][3]);
  }

  expectFields("`LinkRecord`, " + std::to_string(sizeof(LinkRecord)) + " bytes:",
               {FIELD(LinkRecord, streamName), FIELD(LinkRecord, flags),
                FIELD(LinkRecord, reserved), FIELD(LinkRecord, server), FIELD(LinkRecord, port),
                FIELD(LinkRecord, selection), FIELD(LinkRecord, threadHandle),
                FIELD(LinkRecord, tag), FIELD(LinkRecord, spare)});
  expectFields("`WindowRecord`, " + std::to_string(sizeof(WindowRecord)) + " bytes:",
               {FIELD(WindowRecord, window), FIELD(WindowRecord, x), FIELD(WindowRecord, y),
                FIELD(WindowRecord, width), FIELD(WindowRecord, height)});

  const Field flags[] = {{"LF_PLAY_NOW", LF_PLAY_NOW, 0},         {"LF_LIVE", LF_LIVE, 0},
                         {"LF_FULL_SCREEN", LF_FULL_SCREEN, 0},   {"LF_NO_AUDIO", LF_NO_AUDIO, 0},
                         {"LF_NO_VIDEO", LF_NO_VIDEO, 0},         {"LF_NO_CONTROL", LF_NO_CONTROL, 0},
                         {"LF_EMBED_CONTROL", LF_EMBED_CONTROL, 0}, {"LF_CTL_VIEWER", LF_CTL_VIEWER, 0},
                         {"LF_CTL_VOLUME", LF_CTL_VOLUME, 0},     {"LF_CTL_SLIDER", LF_CTL_SLIDER, 0},
                         {"LF_CTL_PLAY", LF_CTL_PLAY, 0},         {"LF_CTL_STOP", LF_CTL_STOP, 0},
                         {"LF_CTL_PLAYSTOP", LF_CTL_PLAYSTOP, 0}};
  rows = tableAfter("`flags` bits:");
  ASSERT_EQ(sizeof flags / sizeof flags[0], rows.size());
  for (size_t i = 0; i < rows.size(); ++i) {
    ASSERT_EQ(2u, rows[i].size());
    EXPECT_EQ(hex8(static_cast<uint32_t>(flags[i].offset)), rows[i][0]);
    EXPECT_EQ(flags[i].name, rows[i][1]);
  }
}
