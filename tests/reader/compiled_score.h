#ifndef QUAVREX_TESTS_READER_COMPILED_SCORE_H_
#define QUAVREX_TESTS_READER_COMPILED_SCORE_H_

#include <string>

#include "core/bytes.h"
#include "frontend/split_score.h"
#include "mmf/mmf_image.h"
#include "sequence/compiled_tracks.h"

// A score run through the stages in memory as the compile job runs them, with what each stage
// handed on kept, so that a test can compare what the reader gives back with the events the
// writer was given.
struct CompiledScore {
  SplitScore score;
  CompiledTracks tracks;
  SetupChunk setup;
  Bytes image;          // the finished file with its CRC and trailer
  std::string message;  // the fault's message (Shift-JIS) when not ok
  bool ok = false;
};

// Compiles `score` as if it were `folder`/song.mml (wave files are looked up there); a file
// that is written must read back sound (ExpectSoundMmf).
CompiledScore CompileInMemory(const std::string& score, bool ma2, bool voiceSetup,
                              const std::string& folder);

#endif  // QUAVREX_TESTS_READER_COMPILED_SCORE_H_
