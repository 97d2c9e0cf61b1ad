#ifndef QUAVREX_CORE_FAULT_PLACE_H_
#define QUAVREX_CORE_FAULT_PLACE_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// The texts of a compile in which a stored message can point at its fault. The splitter cuts
// the blocks out of the score and joins those of one name, strips white space from the voice
// and part texts and expands the repeats of the parts; each stage names its fault in the text
// it works on, and the compile job traces that back to the score (job/fault_locator.h).
enum class FaultText {
  kNone,      // the message has no place in the score
  kScore,     // the score as the compiler read it
  kJoined,    // the joined contents of the blocks named `block`, as cut out
  kStripped,  // the same without white space (the voice text; a part before its repeats)
  kExpanded,  // a part text with its repeats expanded, as the splitter left it
};

// One block's contents within the joined text of its name, and where they stood in the score.
struct BlockPiece {
  size_t textOffset;
  size_t scoreOffset;
  size_t length;
};

struct FaultPlace {
  FaultPlace() = default;
  FaultPlace(FaultText inText, std::string inBlock, size_t inOffset)
      : text(inText), block(std::move(inBlock)), offset(inOffset) {}

  FaultText text = FaultText::kNone;
  std::string block;  // "C", "F", "D", "1" ... "16", "A"; empty for kScore and kNone
  size_t offset = 0;  // byte offset in that text
  // Where the joined text of `block` was cut from the score, for tracing the place back.
  std::vector<BlockPiece> pieces;
};

#endif  // QUAVREX_CORE_FAULT_PLACE_H_
