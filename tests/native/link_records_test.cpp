// The LinkRecord layout is also pinned by static_asserts; these check the reply rules
// and that a record built field by field lands at the wire offsets.
#include <gtest/gtest.h>

#include <cstring>

#include "link/link_records.h"

TEST(NewLinkReply, LowHalfSelectsTheOutcome) {
  EXPECT_EQ(NEW_LINK_ACCEPTED, newLinkReplyKind(0x00070000u));
  EXPECT_EQ(7, newLinkReplyIdentifier(0x00070000u));
  EXPECT_EQ(NEW_LINK_REFUSED, newLinkReplyKind(0x00070001u));
  EXPECT_EQ(NEW_LINK_ACCEPTED_WITHOUT_ID, newLinkReplyKind(0x00070002u));
  EXPECT_EQ(NEW_LINK_ACCEPTED_WITHOUT_ID, newLinkReplyKind(0xFFFFFFFFu));
  // A stale window makes SendMessage return 0: an acceptance with identifier 0.
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
