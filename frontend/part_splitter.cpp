// Divides a score into its blocks. A block is a header (a part name and "[") with everything
// up to its closing "]"; blocks of one name are joined in source order, text outside blocks
// is ignored. The kinds are taken out one after the other from a working copy of the source:
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
#include "core/sjis.h"
#include "frontend/messages.h"
#include "frontend/text_functions.h"

namespace {

namespace msg = frontend_messages;

// How the "]" that closes a block is found.
enum class Closing {
  kFirstBracket,  // the first "]" byte
  kContents,      // the first "]" neither escaped by a backslash nor the second byte of a
                  // double-byte character
  kFileList,      // the first "]" not escaped by a backslash
};

struct BlockKind {
  std::string header;  // upper case, e.g. "C[", "10["
  bool eitherCase;     // the header letter may also be lower case (the source is not upper-cased)
  bool numbered;       // a header right after the character "1" is none ("11[" is not part 1)
  Closing closing;
};

// The first header of `kind` at or after `from`, or npos.
size_t FindHeader(const std::string& source, size_t from, const BlockKind& kind) {
  if (!kind.eitherCase) {
    return source.find(kind.header, from);
  }
  const char upper = kind.header[0];
  const char lower = static_cast<char>(upper - 'A' + 'a');
  for (size_t h = from; h + 1 < source.size(); ++h) {
    if ((source[h] == upper || source[h] == lower) && source[h + 1] == '[') {
      return h;
    }
  }
  return std::string::npos;
}

// True when an odd run of backslashes stands before the "]" at `end`, inside the block that
// starts at `start`. A backslash that is the second byte of a double-byte character ends the
// run uncounted.
bool IsEscapedBracket(const std::string& source, size_t start, size_t end) {
  int run = 0;
  for (size_t j = end; j > start && source[j - 1] == '\\'; --j) {
    if (IsLeadByte(source[j - 2])) {
      break;
    }
    ++run;
  }
  return run % 2 == 1;
}

// The "]" that closes the block whose header is at `header`, or npos.
size_t FindClosing(const std::string& source, size_t header, const BlockKind& kind) {
  const size_t start = header + kind.header.size();
  for (size_t e = source.find(']', header + 1); e != std::string::npos;
       e = source.find(']', e + 1)) {
    if (kind.closing == Closing::kFirstBracket) {
      return e;
    }
    if (kind.closing == Closing::kContents && IsLeadByte(source[e - 1])) {
      continue;
    }
    if (!IsEscapedBracket(source, start, e)) {
      return e;
    }
  }
  return std::string::npos;
}

// Where each byte of the working source stood in the score. Taking blocks out erases their
// contents, so the bytes after them move to the left; each anchor starts a run of bytes that
// stood together in the score.
class ScoreMap {
 public:
  size_t ScoreOffset(size_t working) const {
    auto after = std::upper_bound(anchors_.begin(), anchors_.end(), working,
                                  [](size_t w, const Anchor& a) { return w < a.working; });
    const Anchor& anchor = *(after - 1);  // the first anchor is at 0
    return anchor.score + (working - anchor.working);
  }

  // The ranges [first, second) of the working source, ascending, were erased.
  void Erase(const std::vector<std::pair<size_t, size_t>>& erased) {
    std::vector<Anchor> next;
    size_t removed = 0;
    size_t k = 0;
    for (const auto& [start, end] : erased) {
      if (start == end) {
        continue;
      }
      for (; k < anchors_.size() && anchors_[k].working <= start; ++k) {
        next.push_back({anchors_[k].working - removed, anchors_[k].score});
      }
      // No anchor lies inside a block's contents: each stands at the "]" after erased bytes,
      // which ends any block before it.
      for (; k < anchors_.size() && anchors_[k].working <= end; ++k) {
      }
      const size_t score = ScoreOffset(end);
      removed += end - start;
      next.push_back({end - removed, score});
    }
    for (; k < anchors_.size(); ++k) {
      next.push_back({anchors_[k].working - removed, anchors_[k].score});
    }
    anchors_ = std::move(next);
  }

 private:
  struct Anchor {
    size_t working;
    size_t score;
  };
  std::vector<Anchor> anchors_{{0, 0}};
};

// The working source of the splitter, with where its bytes stood in the score.
struct WorkingSource {
  std::string text;
  ScoreMap map;
};

// Takes every block of `kind` out of the working source: appends its contents to `collected`
// and erases them, leaving header and "]", and records in the compiler where the pieces stood
// in the score. False when a header has no closing "]"; its place is then stored.
bool ExtractBlocks(CMmlCompiler& compiler, WorkingSource& working, const BlockKind& kind,
                   std::string& collected) {
  std::string& source = working.text;
  std::vector<BlockPiece>& pieces =
      compiler.m_blockPieces[kind.header.substr(0, kind.header.size() - 1)];
  std::vector<std::pair<size_t, size_t>> erased;
  // The erased source is built in one pass; every later search only looks at bytes from the
  // last "]" on, which erasing does not change.
  std::string kept;
  size_t copied = 0;
  size_t from = 0;
  for (;;) {
    const size_t header = FindHeader(source, from, kind);
    if (header == std::string::npos) {
      break;
    }
    if (kind.numbered && header > 0 && source[header - 1] == '1') {
      from = header + 3;
      continue;
    }
    const size_t end = FindClosing(source, header, kind);
    if (end == std::string::npos) {
      compiler.m_errorPlace = {FaultText::kScore, "", working.map.ScoreOffset(header)};
      return false;
    }
    const size_t start = header + kind.header.size();
    pieces.push_back({collected.size(), working.map.ScoreOffset(start), end - start});
    erased.emplace_back(start, end);
    collected.append(source, start, end - start);
    kept.append(source, copied, start - copied);
    copied = end;
    from = end + 1;
  }
  kept.append(source, copied);
  source = std::move(kept);
  working.map.Erase(erased);
  return true;
}

void UpperCase(std::string& text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') {
      c = static_cast<char>(c - 'a' + 'A');
    }
  }
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
bool ReadPart(CMmlCompiler& compiler, WorkingSource& source, const std::string& name,
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

bool SplitMa1Parts(CMmlCompiler& compiler, WorkingSource& source) {
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

bool SplitMa2Parts(CMmlCompiler& compiler, WorkingSource& source) {
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
  WorkingSource source{std::move(score), {}};
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
  UpperCase(source.text);
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
