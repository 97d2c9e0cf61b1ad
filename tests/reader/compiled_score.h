#ifndef QUAVREX_TESTS_READER_COMPILED_SCORE_H_
#define QUAVREX_TESTS_READER_COMPILED_SCORE_H_

#include <memory>
#include <string>

#include "core/bytes.h"
#include "core/compiler.h"

// A score compiled in memory as the compile job would, with the compiler object kept so that
// a test can compare what the reader gives back with the events the writer kept.
struct CompiledScore {
  std::unique_ptr<CMmlCompiler> compiler;
  Bytes image;  // the finished file with its CRC and trailer
  bool ok = false;
};

// Compiles `score` as if it were `folder`/song.mml (wave files are looked up there); a file
// that is written must read back sound (ExpectSoundMmf).
CompiledScore CompileInMemory(const std::string& score, bool ma2, bool voiceSetup,
                              const std::string& folder);

#endif  // QUAVREX_TESTS_READER_COMPILED_SCORE_H_
