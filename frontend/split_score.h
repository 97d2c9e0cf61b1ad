#ifndef QUAVREX_FRONTEND_SPLIT_SCORE_H_
#define QUAVREX_FRONTEND_SPLIT_SCORE_H_

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "adpcm/file_part.h"
#include "core/bytes.h"
#include "core/compile_fault.h"
#include "core/compile_limits.h"
#include "core/fault_place.h"
#include "voices/voice_definitions.h"

// A score divided into what the part compilers and the writer need: one finished text per
// part slot (upper case, no white space, repeats expanded), the contents options, the voices
// and the wave files.
struct SplitScore {
  int format = kFormatMa1;
  Bytes contentsOptions;
  WaveList waves;  // MA2 only
  VoiceDefinitions voices;
  std::array<std::string, kSequenceSlots> partText;
  std::array<std::string, kSequenceSlots> partName;  // as messages name the part: "1" ... "16"
  std::string adpcmText;                             // the A part (MA2)
  std::array<int, kSequenceSlots> fourOpPart{};      // 1: the slot holds a 4-operator part
  bool rhythmPart = false;                           // the N part stands in slot 9 (MA2)
  // For each block name, where the pieces of its joined text stood in the score.
  std::map<std::string, std::vector<BlockPiece>> pieces;
};

// Divides the whole score (Shift-JIS, as read) into its blocks, reads the contents, the file
// list (MA2) and the voice definitions, and leaves one finished text per part slot. MA2 also
// places each part in its slot. The part texts together may grow to `expansionBudget` bytes by
// repeat expansion. A fault carries the pieces of the block it is placed in.
StageResult<SplitScore> SplitParts(std::string source, int format,
                                   uint64_t expansionBudget = kMaxExpandedBytes);

// The wave files an MA2 score's file list names, read as SplitParts reads them; none when the
// contents or the file list are at fault.
WaveList FileListOf(std::string source);

#endif  // QUAVREX_FRONTEND_SPLIT_SCORE_H_
