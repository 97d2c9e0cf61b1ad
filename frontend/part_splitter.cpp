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

#include "core/compiler.h"
#include "core/messages.h"
#include "core/sjis.h"
#include "frontend/block_extractor.h"
#include "frontend/text_functions.h"

namespace {

namespace msg = messages::frontend;

// Takes every block of `kind` out of the working source into `collected` and records in the
// compiler where the pieces stood in the score. False when a header has no closing "]"; its
// place is then stored.
bool ExtractBlocks(CMmlCompiler& compiler, BlockExtractor& working, const BlockKind& kind,
                   std::string& collected) {
  std::vector<BlockPiece>& pieces =
      compiler.m_blockPieces[kind.header.substr(0, kind.header.size() - 1)];
  size_t unclosedAt = 0;
  if (!working.Extract(kind, collected, pieces, unclosedAt)) {
    compiler.m_errorPlace = {FaultText::kScore, "", unclosedAt};
    return false;
  }
  return true;
}

// label + "パートの括弧が閉じられていません。"
bool FailUnclosed(CMmlCompiler& compiler, std::string_view label) {
  return compiler.Fail(std::string(label) + Sjis(msg::kBracketNotClosed));
}

// label + "パート " + clause (UTF-8).
bool FailPartClause(CMmlCompiler& compiler, std::string_view label, std::string_view clause) {
  return compiler.Fail(std::string(label) + Sjis(msg::kPartJoint) + Sjis(clause));
}

// Collects, strips and expands the part `name`; `exists` is false when its blocks hold
// nothing but white space (MA2 then places no part; MA1 keeps the empty text).
bool ReadPart(CMmlCompiler& compiler, BlockExtractor& source, const std::string& name,
              std::string& text, bool& exists) {
  std::string collected;
  if (!ExtractBlocks(compiler, source, {name + "[", false, true, Closing::kFirstBracket},
                     collected)) {
    return FailUnclosed(compiler, name);
  }
  text = StripWhitespace(collected);
  exists = !text.empty();
  const std::string fault = compiler.ExpandRepeats(text);
  if (!fault.empty()) {
    compiler.m_errorPlace.block = name;  // the expansion knows the offset, not the part
    return compiler.Fail(name + Sjis(msg::kPartJoint) + fault);
  }
  compiler.m_expandedBytes += text.size();
  return true;
}

bool SplitMa1Parts(CMmlCompiler& compiler, BlockExtractor& source) {
  for (int slot = 0; slot < 4; ++slot) {
    compiler.m_partName[slot] = std::string(1, static_cast<char>('1' + slot));
    bool exists = false;
    if (!ReadPart(compiler, source, compiler.m_partName[slot], compiler.m_partText[slot], exists)) {
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
void PlaceClassifyFault(CMmlCompiler& compiler, const Ma2Part& part, size_t at, size_t length) {
  const bool number = IsDigit(ByteAt(part.text, at + length));
  compiler.m_errorPlace = {FaultText::kExpanded, part.name, number ? at + length : at};
}

// Reads the first "@O" and the first "N" of a part text into `part.kind`.
bool ClassifyPart(CMmlCompiler& compiler, Ma2Part& part) {
  const size_t at = part.text.find("@O");
  if (at != std::string::npos) {
    size_t cursor = at + 2;
    const int operators = ReadNumber(part.text, cursor);
    if (operators != 2 && operators != 4) {
      PlaceClassifyFault(compiler, part, at, 2);
      return FailPartClause(compiler, part.name, msg::kOperatorSetting);
    }
    part.kind = operators == 4 ? OperatorKind::kFour : OperatorKind::kTwo;
  }
  const size_t n = part.text.find('N');
  if (n != std::string::npos) {
    if (compiler.m_nPartSet) {
      PlaceClassifyFault(compiler, part, n, 0);
      return FailPartClause(compiler, part.name, msg::kNAlreadyGiven);
    }
    size_t cursor = n + 1;
    if (ReadNumber(part.text, cursor) != 10) {
      PlaceClassifyFault(compiler, part, n, 1);
      return FailPartClause(compiler, part.name, msg::kNSetting);
    }
    compiler.m_nPartSet = 1;
    part.kind = OperatorKind::kN;
  }
  return true;
}

// The chip has 32 operators: 2 per 2-operator part (the N part included), 4 per 4-operator
// part; with an N part at most seven 4-operator parts fit beside it.
bool CheckOperatorBudget(CMmlCompiler& compiler, const std::vector<Ma2Part>& parts) {
  int twoOp = 0;
  int fourOp = 0;  // the N part counted here, its extra 2 taken off the total below
  for (const Ma2Part& part : parts) {
    (part.kind == OperatorKind::kTwo ? twoOp : fourOp) += 1;
  }
  if (compiler.m_nPartSet && fourOp > 8) {
    return compiler.Fail(Sjis(msg::kTooManyFourOpParts));
  }
  const int total = 2 * twoOp + 4 * fourOp - (compiler.m_nPartSet ? 2 : 0);
  if (total > 32) {
    return compiler.Fail(Sjis(msg::kOperatorTotal));
  }
  return true;
}

void PlaceParts(CMmlCompiler& compiler, std::vector<Ma2Part>& parts) {
  std::array<bool, kSequenceSlots> taken{};
  auto place = [&](Ma2Part& part, int slot) {
    assert(slot < kSequenceSlots && !taken[slot]);  // the operator budget leaves room
    taken[slot] = true;
    compiler.m_partName[slot] = std::move(part.name);
    compiler.m_partText[slot] = std::move(part.text);
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
    if (kFourOpSlots[next] == 9 && compiler.m_nPartSet) {
      ++next;
    }
    assert(next < std::size(kFourOpSlots));
    const int slot = kFourOpSlots[next++];
    place(part, slot);
    compiler.m_fourOpPart[slot] = 1;
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

bool SplitMa2Parts(CMmlCompiler& compiler, BlockExtractor& source) {
  std::vector<Ma2Part> parts;
  for (int number = 1; number <= kSequenceSlots; ++number) {
    Ma2Part part;
    part.name = std::to_string(number);
    bool exists = false;
    if (!ReadPart(compiler, source, part.name, part.text, exists)) {
      return false;
    }
    if (!exists) {
      continue;
    }
    if (!ClassifyPart(compiler, part)) {
      return false;
    }
    parts.push_back(std::move(part));
  }
  if (!CheckOperatorBudget(compiler, parts)) {
    return false;
  }
  PlaceParts(compiler, parts);
  bool exists = false;
  return ReadPart(compiler, source, std::string(msg::kAdpcmLabel), compiler.m_adpcmPartText,
                  exists);
}

}  // namespace

bool CMmlCompiler::SplitParts(std::string score) {
  ResetEventSerial();
  BlockExtractor source(std::move(score));
  std::string contents;
  if (!ExtractBlocks(*this, source, {"C[", true, false, Closing::kContents}, contents)) {
    return FailUnclosed(*this, msg::kContentsLabel);
  }
  if (!ParseContents(contents)) {
    return false;
  }
  if (m_format == kFormatMa2) {
    if (!ExtractBlocks(*this, source, {"F[", true, false, Closing::kFileList}, m_filePartText)) {
      return FailUnclosed(*this, msg::kFileListLabel);
    }
    if (!ParseAdpcmFiles(m_filePartText)) {
      return false;
    }
  }
  source.UpperCase();
  std::string voices;
  if (!ExtractBlocks(*this, source, {"D[", false, false, Closing::kFirstBracket}, voices)) {
    return FailUnclosed(*this, msg::kVoiceLabel);
  }
  m_voicePartText = StripWhitespace(voices);
  if (!ParseVoiceDefinitions(m_voicePartText)) {
    return false;
  }
  return m_format == kFormatMa2 ? SplitMa2Parts(*this, source) : SplitMa1Parts(*this, source);
}
