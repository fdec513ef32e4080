// A stream's chunks as NPP_Write plans them: what is sent, after which chunk, and what the
// record becomes. Each stream is played through plan, hold, copy and apply, as the module does.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "link/link_file_chunks.h"

namespace {

typedef std::vector<unsigned char> Bytes;

// Selection 0, the no-control option, a name at 34 (header of 47 bytes), then data.
Bytes linkFile() {
  Bytes f = {'K', 1, 2, 3, 10, 0, 0, 7, 0x1F, 0x90, 0, 0, 0, 0, 0x12, 0x80};
  f.resize(34, 0xEE);
  for (char c : std::string("news/evening")) f.push_back(static_cast<unsigned char>(c));
  f.push_back(0);
  for (int i = 0; i < 60; ++i) f.push_back(static_cast<unsigned char>(i));
  return f;
}

struct Chunk {
  size_t from, to;  // bytes [from, to) of the file
  long offset;      // -1: at `from`
};

struct Played {
  std::vector<LinkFileChunkAction> actions;
  Bytes sent;       // the last file start sent, as forwarded
  int sends = 0;
  LinkRecord link;
};

// One NPP_Write per chunk, each chunk an exact-size copy (for ASan). `stream`: whether there
// is a stream to hold bytes for.
Played play(const Bytes& file, const std::vector<Chunk>& chunks, bool stream = true) {
  Played p;
  std::memset(&p.link, 0, sizeof p.link);
  HeldLinkFileHeader held = {};
  for (const Chunk& c : chunks) {
    Bytes chunk(file.begin() + c.from, file.begin() + c.to);
    uint32_t offset = static_cast<uint32_t>(c.offset < 0 ? c.from : c.offset);
    const HeldLinkFileHeader* h = stream ? &held : nullptr;
    LinkFileChunkAction a = planLinkFileChunk(h, chunk.data(), chunk.size(), offset);
    p.actions.push_back(a);
    if (a == LINK_CHUNK_HOLD) {
      holdLinkFileChunk(held, chunk.data(), chunk.size(), offset);
      continue;
    }
    if (a != LINK_CHUNK_CONSUME) {
      Bytes out(linkFileStartLength(a, h, chunk.size()));
      copyLinkFileStart(out.data(), a, h, chunk.data(), chunk.size());
      EXPECT_TRUE(applyLinkFileHeader(p.link, out.data(), out.size()));
      p.sent = out;
      ++p.sends;
    }
    held.length = 0;  // anything but HOLD drops the held bytes
  }
  return p;
}

const LinkFileChunkAction C = LINK_CHUNK_CONSUME, H = LINK_CHUNK_HOLD, A = LINK_CHUNK_APPLY,
                          X = LINK_CHUNK_COMPLETE;

TEST(LinkFileChunks, HeadersAreCompletedFromTheChunksBehindThem) {
  Bytes file = linkFile();
  size_t n = file.size();
  Bytes swapped(file);
  std::swap(swapped[14], swapped[15]);
  struct Case {
    const char* label;
    std::vector<Chunk> chunks;
    std::vector<LinkFileChunkAction> actions;
    size_t sentLength;  // 0: nothing sent
  } cases[] = {
      {"whole header", {{0, n, -1}}, {A}, n},
      {"cut after 1", {{0, 1, -1}, {1, n, -1}}, {H, X}, n},
      {"cut after 15", {{0, 15, -1}, {15, n, -1}}, {H, X}, n},
      {"cut after 16", {{0, 16, -1}, {16, 50, -1}, {50, n, -1}}, {H, X, C}, 50},
      {"cut after 33", {{0, 33, -1}, {33, 47, -1}}, {H, X}, 47},
      {"cut after 40, in the name", {{0, 40, -1}, {40, n, -1}}, {H, X}, n},
      {"three chunks", {{0, 10, -1}, {10, 30, -1}, {30, 52, -1}}, {H, H, X}, 52},
      {"wrong offset", {{0, 15, -1}, {15, n, 16}}, {H, C}, 0},
      {"held dropped at a wrong offset", {{0, 15, -1}, {15, 20, 99}, {20, n, -1}}, {H, C, C}, 0},
      {"restarted at 0", {{0, 10, -1}, {0, 15, 0}, {15, n, -1}}, {H, H, X}, n},
      {"stream ends before complete", {{0, 20, -1}, {20, 46, -1}}, {H, H}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    Played p = play(file, c.chunks);
    EXPECT_EQ(c.actions, p.actions);
    EXPECT_EQ(c.sentLength ? 1 : 0, p.sends);
    if (c.sentLength == 0) continue;
    EXPECT_EQ(Bytes(swapped.begin(), swapped.begin() + c.sentLength), p.sent);
    EXPECT_STREQ("news/evening", p.link.streamName);
    EXPECT_STREQ("10.0.0.7", p.link.server);
    EXPECT_EQ(8080, +p.link.port);
  }
}

TEST(LinkFileChunks, WithoutAStreamEachChunkStandsAlone) {
  Bytes file = linkFile();
  size_t n = file.size();
  EXPECT_EQ((std::vector<LinkFileChunkAction>{C, C}),
            play(file, {{0, 15, -1}, {15, n, -1}}, false).actions);
  EXPECT_EQ((std::vector<LinkFileChunkAction>{A}), play(file, {{0, n, -1}}, false).actions);
  // A chunk elsewhere that starts with a header is applied, as every chunk always was.
  EXPECT_EQ((std::vector<LinkFileChunkAction>{A}), play(file, {{0, n, 500}}).actions);
  EXPECT_EQ(LINK_CHUNK_CONSUME, planLinkFileChunk(nullptr, nullptr, 5, 0));
}

}  // namespace
