// Turns one received link message into readable lines for linkmon's console.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// One WM_COPYDATA as linkmon received it, with the reply it gave.
struct LinkMessageView {
  uint32_t seq;         // 1 for the first message of a run
  uint64_t code;        // wParam
  uint64_t dwData;      // COPYDATASTRUCT.dwData: the LinkIdentifier
  uint32_t cbData;
  const uint8_t* data;  // null when the message carried no data
  uint32_t reply;
};

// "LINKMSG_NEW" etc.; "unknown" for any other code.
const char* linkCodeName(uint64_t code);

// The LF_ names of `flags` joined by " | ", with any bits that have no name (including one
// half of LF_CTL_SLIDER alone) appended in hex; "none" for 0.
std::string flagNames(uint32_t flags);

// Bytes as two-digit lowercase hex, separated by `separator`.
std::string hexBytes(const uint8_t* data, size_t length, const char* separator);

// A header line, one line per record field (LinkRecord for NEW and STREAM_INFO,
// WindowRecord for SET_WINDOW) or a hex dump, "note:" lines where the message departs from
// the protocol (lengths, dwData, unterminated text, unknown bits), and the reply.
// Reads at most cbData bytes, and none when data is null.
std::vector<std::string> describeLinkMessage(const LinkMessageView& m);
