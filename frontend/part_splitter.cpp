// Divides a score into its blocks. A block is a header (a part name and "[") with everything
// up to its closing "]"; blocks of one name are joined in source order, text outside blocks
// is ignored. The kinds are taken out one after the other (frontend/block_extractor.h):
// contents "C[", in MA2 the file list "F[", then (after upper-casing) voices "D[", the
// sequence parts "1[" ... and in MA2 the ADPCM part "A[". Taking a block out erases its
// contents and leaves "name[]", so what a block held is never seen by a later kind.
//
// MA2 also places each sequence part in a slot: the N part in slot 9, 4-operator parts in
// 0-3 and 8-11 (each reserving the slot 4 above it), 2-operator parts in the lowest free
// slots, after checking that the chip's 32 operators suffice.

#include <algorithm>
#include <array>
#include <cassert>
#include <iterator>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "adpcm/file_part.h"
#include "core/messages.h"
#include "core/sjis.h"
#include "core/text_functions.h"
#include "frontend/block_extractor.h"
#include "frontend/contents_part.h"
#include "frontend/repeats.h"
#include "frontend/split_score.h"
#include "voices/voice_definitions.h"

namespace {

namespace msg = messages::frontend;

// The split in progress: the score taking shape, the fault once one is met, and the bytes of
// the part texts expanded so far (the budget they share).
struct Splitter {
  SplitScore& score;
  CompileFault& fault;
  uint64_t budget = kMaxExpandedBytes;
  uint64_t expandedBytes = 0;

  bool Fail(std::string message) {
    fault.message = std::move(message);
    return false;
  }
};

// Takes every block of `kind` out of the working source into `collected` and records where the
// pieces stood in the score. False when a header has no closing "]"; its
// place is then stored.
bool ExtractBlocks(Splitter& split, BlockExtractor& working, const BlockKind& kind,
                   std::string& collected) {
  std::vector<BlockPiece>& pieces =
      split.score.pieces[kind.header.substr(0, kind.header.size() - 1)];
  size_t unclosedAt = 0;
  if (!working.Extract(kind, collected, pieces, unclosedAt)) {
    split.fault.place = {FaultText::kScore, "", unclosedAt};
    return false;
  }
  return true;
}

// label + "パートの括弧が閉じられていません。"
bool FailUnclosed(Splitter& split, std::string_view label) {
  return split.Fail(std::string(label) + Sjis(msg::kBracketNotClosed));
}

// label + "パート " + clause (UTF-8).
bool FailPartClause(Splitter& split, std::string_view label, std::string_view clause) {
  return split.Fail(std::string(label) + Sjis(msg::kPartJoint) + Sjis(clause));
}

// Collects, strips and expands the part `name`; `exists` is false when its blocks hold
// nothing but white space (MA2 then places no part; MA1 keeps the empty text).
bool ReadPart(Splitter& split, BlockExtractor& source, const std::string& name, std::string& text,
              bool& exists) {
  std::string collected;
  if (!ExtractBlocks(split, source, {name + "[", false, true, Closing::kFirstBracket}, collected)) {
    return FailUnclosed(split, name);
  }
  text = StripWhitespace(collected);
  exists = !text.empty();
  // The part texts split before this one have used part of the budget all of them share.
  const uint64_t limit = split.budget - std::min(split.expandedBytes, split.budget);
  const std::string fault = ExpandRepeats(text, limit, split.fault.place);
  if (!fault.empty()) {
    split.fault.place.block = name;  // the expansion knows the offset, not the part
    return split.Fail(name + Sjis(msg::kPartJoint) + fault);
  }
  split.expandedBytes += text.size();
  return true;
}

bool SplitMa1Parts(Splitter& split, BlockExtractor& source) {
  for (int slot = 0; slot < 4; ++slot) {
    split.score.partName[slot] = std::string(1, static_cast<char>('1' + slot));
    bool exists = false;
    if (!ReadPart(split, source, split.score.partName[slot], split.score.partText[slot], exists)) {
      return false;
    }
  }
  return true;
}

enum class OperatorKind { kTwo, kFour, kN };

struct Ma2Part {
  std::string name;
  std::string text;
  OperatorKind kind = OperatorKind::kTwo;
};

// Stores the place of a fault at the command at `at` of the part's text: its number, when
// one follows the command's `length` bytes.
void PlaceClassifyFault(Splitter& split, const Ma2Part& part, size_t at, size_t length) {
  const bool number = IsDigit(ByteAt(part.text, at + length));
  split.fault.place = {FaultText::kExpanded, part.name, number ? at + length : at};
}

// Reads the first "@O" and the first "N" of a part text into `part.kind`.
bool ClassifyPart(Splitter& split, Ma2Part& part) {
  const size_t at = part.text.find("@O");
  if (at != std::string::npos) {
    size_t cursor = at + 2;
    const int operators = ReadNumber(part.text, cursor);
    if (operators != 2 && operators != 4) {
      PlaceClassifyFault(split, part, at, 2);
      return FailPartClause(split, part.name, msg::kOperatorSetting);
    }
    part.kind = operators == 4 ? OperatorKind::kFour : OperatorKind::kTwo;
  }
  const size_t n = part.text.find('N');
  if (n != std::string::npos) {
    if (split.score.rhythmPart) {
      PlaceClassifyFault(split, part, n, 0);
      return FailPartClause(split, part.name, msg::kNAlreadyGiven);
    }
    size_t cursor = n + 1;
    if (ReadNumber(part.text, cursor) != 10) {
      PlaceClassifyFault(split, part, n, 1);
      return FailPartClause(split, part.name, msg::kNSetting);
    }
    split.score.rhythmPart = true;
    part.kind = OperatorKind::kN;
  }
  return true;
}

// The chip has 32 operators: 2 per 2-operator part (the N part included), 4 per 4-operator
// part; with an N part at most seven 4-operator parts fit beside it.
bool CheckOperatorBudget(Splitter& split, const std::vector<Ma2Part>& parts) {
  int twoOp = 0;
  int fourOp = 0;  // the N part counted here, its extra 2 taken off the total below
  for (const Ma2Part& part : parts) {
    (part.kind == OperatorKind::kTwo ? twoOp : fourOp) += 1;
  }
  if (split.score.rhythmPart && fourOp > 8) {
    return split.Fail(Sjis(msg::kTooManyFourOpParts));
  }
  const int total = 2 * twoOp + 4 * fourOp - (split.score.rhythmPart ? 2 : 0);
  if (total > 32) {
    return split.Fail(Sjis(msg::kOperatorTotal));
  }
  return true;
}

void PlaceParts(Splitter& split, std::vector<Ma2Part>& parts) {
  std::array<bool, kSequenceSlots> taken{};
  auto place = [&](Ma2Part& part, int slot) {
    assert(slot < kSequenceSlots && !taken[slot]);  // the operator budget leaves room
    taken[slot] = true;
    split.score.partName[slot] = std::move(part.name);
    split.score.partText[slot] = std::move(part.text);
  };
  for (Ma2Part& part : parts) {
    if (part.kind == OperatorKind::kN) {
      place(part, 9);
    }
  }
  static constexpr int kFourOpSlots[] = {0, 1, 2, 3, 8, 9, 10, 11};
  size_t next = 0;
  for (Ma2Part& part : parts) {
    if (part.kind != OperatorKind::kFour) {
      continue;
    }
    if (kFourOpSlots[next] == 9 && split.score.rhythmPart) {
      ++next;
    }
    assert(next < std::size(kFourOpSlots));
    const int slot = kFourOpSlots[next++];
    place(part, slot);
    split.score.fourOpPart[slot] = 1;
    taken[slot + 4] = true;  // the second operator pair of the part plays there
  }
  int lowest = 0;
  for (Ma2Part& part : parts) {
    if (part.kind != OperatorKind::kTwo) {
      continue;
    }
    while (lowest < kSequenceSlots && taken[lowest]) {
      ++lowest;
    }
    place(part, lowest);
  }
}

bool SplitMa2Parts(Splitter& split, BlockExtractor& source) {
  std::vector<Ma2Part> parts;
  for (int number = 1; number <= kSequenceSlots; ++number) {
    Ma2Part part;
    part.name = std::to_string(number);
    bool exists = false;
    if (!ReadPart(split, source, part.name, part.text, exists)) {
      return false;
    }
    if (!exists) {
      continue;
    }
    if (!ClassifyPart(split, part)) {
      return false;
    }
    parts.push_back(std::move(part));
  }
  if (!CheckOperatorBudget(split, parts)) {
    return false;
  }
  PlaceParts(split, parts);
  bool exists = false;
  return ReadPart(split, source, std::string(msg::kAdpcmLabel), split.score.adpcmText, exists);
}

// The stages of the split in order; each stops at its fault. With `filesOnly`, the split
// ends after the file list.
bool Split(Splitter& split, std::string source, bool filesOnly) {
  SplitScore& score = split.score;
  BlockExtractor blocks(std::move(source));
  std::string contents;
  if (!ExtractBlocks(split, blocks, {"C[", true, false, Closing::kContents}, contents)) {
    return FailUnclosed(split, msg::kContentsLabel);
  }
  StageResult<Bytes> options = ParseContents(contents);
  if (!options.ok()) {
    split.fault = options.fault();
    return false;
  }
  score.contentsOptions = std::move(options.value());
  if (score.format == kFormatMa2) {
    std::string files;
    if (!ExtractBlocks(split, blocks, {"F[", true, false, Closing::kFileList}, files)) {
      return FailUnclosed(split, msg::kFileListLabel);
    }
    StageResult<WaveList> waves = ParseAdpcmFiles(files);
    if (!waves.ok()) {
      split.fault = waves.fault();
      return false;
    }
    score.waves = std::move(waves.value());
  }
  if (filesOnly) {
    return true;
  }
  blocks.UpperCase();
  std::string voiceBlocks;
  if (!ExtractBlocks(split, blocks, {"D[", false, false, Closing::kFirstBracket}, voiceBlocks)) {
    return FailUnclosed(split, msg::kVoiceLabel);
  }
  StageResult<VoiceDefinitions> voices = ParseVoiceDefinitions(StripWhitespace(voiceBlocks));
  if (!voices.ok()) {
    split.fault = voices.fault();
    return false;
  }
  score.voices = std::move(voices.value());
  return score.format == kFormatMa2 ? SplitMa2Parts(split, blocks) : SplitMa1Parts(split, blocks);
}

}  // namespace

StageResult<SplitScore> SplitParts(std::string source, int format, uint64_t expansionBudget) {
  SplitScore score;
  score.format = format;
  CompileFault fault;
  Splitter split{score, fault, expansionBudget};
  if (!Split(split, std::move(source), false)) {
    const auto found = score.pieces.find(fault.place.block);
    if (found != score.pieces.end()) {
      fault.place.pieces = found->second;
    }
    return fault;
  }
  return score;
}

WaveList FileListOf(std::string source) {
  SplitScore score;
  score.format = kFormatMa2;
  CompileFault fault;
  Splitter split{score, fault};
  if (!Split(split, std::move(source), true)) {
    return WaveList();
  }
  return score.waves;
}
