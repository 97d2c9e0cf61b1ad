#include "job/fault_locator.h"

#include <vector>

#include "core/sjis.h"
#include "core/text_functions.h"
#include "frontend/repeats.h"

namespace {

constexpr size_t kNowhere = std::string::npos;

// The joined text of a block name, taken again from the score.
std::string Joined(const std::vector<BlockPiece>& pieces, const std::string& score) {
  std::string text;
  for (const BlockPiece& piece : pieces) {
    text.append(score, piece.scoreOffset, piece.length);
  }
  return text;
}

// Byte `offset` of the joined text in the score. The end of the text is placed at the "]"
// that closed the last block.
size_t JoinedToScore(const std::vector<BlockPiece>& pieces, size_t offset) {
  for (const BlockPiece& piece : pieces) {
    if (offset >= piece.textOffset && offset - piece.textOffset < piece.length) {
      return piece.scoreOffset + (offset - piece.textOffset);
    }
  }
  if (pieces.empty()) {
    return kNowhere;
  }
  return pieces.back().scoreOffset + pieces.back().length;
}

bool IsWhitespace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// Byte `offset` of the stripped text in the joined text: the kept bytes are counted the way
// StripWhitespace keeps them (white space after a lead byte stays).
size_t StrippedToJoined(const std::string& joined, size_t offset) {
  size_t kept = 0;
  bool afterLead = false;
  for (size_t pos = 0; pos < joined.size(); ++pos) {
    const char c = joined[pos];
    if (IsWhitespace(c) && !afterLead) {
      continue;
    }
    if (kept == offset) {
      return pos;
    }
    ++kept;
    afterLead = IsLeadByte(c);
  }
  return joined.size();
}

}  // namespace

size_t LocateFault(const FaultPlace& place, const std::string& score) {
  if (place.text == FaultText::kNone) {
    return kNowhere;
  }
  if (place.text == FaultText::kScore) {
    return place.offset;
  }
  const std::vector<BlockPiece>& pieces = place.pieces;
  if (pieces.empty()) {
    return kNowhere;
  }
  size_t offset = place.offset;
  if (place.text != FaultText::kJoined) {
    const std::string joined = Joined(pieces, score);
    if (place.text == FaultText::kExpanded) {
      offset = RepeatOrigin(StripWhitespace(joined), offset);
      if (offset == kNowhere) {
        return kNowhere;
      }
    }
    offset = StrippedToJoined(joined, offset);
  }
  return JoinedToScore(pieces, offset);
}
