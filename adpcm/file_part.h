#ifndef QUAVREX_ADPCM_FILE_PART_H_
#define QUAVREX_ADPCM_FILE_PART_H_

#include <array>
#include <cstdint>
#include <string>

#include "core/compile_fault.h"
#include "core/compile_limits.h"
#include "core/mmf_layout.h"

// The wave files of an MA2 score's file list, and their sampling rate.
struct WaveList {
  std::array<std::string, kWaveSlots> fileName;  // wave slots 1-10 (letters A-J) at 0-9
  uint8_t waveType = mmf::kWaveType8k;
};

// Reads the joined file-list blocks (raw text, case and white space kept). A fault is placed
// in that text (FaultText::kJoined of block "F").
StageResult<WaveList> ParseAdpcmFiles(const std::string& text);

#endif  // QUAVREX_ADPCM_FILE_PART_H_
