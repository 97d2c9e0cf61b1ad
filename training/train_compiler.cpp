// The training run of a profile-guided release build: compiles a fixed set of scores through
// the compile job, so that the compiler built from the counts it leaves lays out its code for
// the paths real scores take.
//
//   quavrex_train EXAMPLES_FOLDER
//
// The set: the example scores in both formats, then scores made of phrases drawn at random (a
// fixed seed) from the commands composers write, short and long, with a few faulty ones. The
// files live in memory; nothing is written.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>

#include "job/compile_job.h"

namespace {

// Scores read from and written to memory.
class MemoryServices : public CompileServices {
 public:
  std::map<std::string, std::string> files;

  bool ReadWholeFile(const std::string& path, std::string& bytes) override {
    auto found = files.find(path);
    if (found == files.end()) {
      return false;
    }
    bytes = found->second;
    return true;
  }
  WriteResult WriteWholeFile(const std::string& /*path*/, const Bytes& /*data*/) override {
    return WriteResult::kOk;
  }
  void Sleep(int /*milliseconds*/) override {}
  void LineLogged(const std::string& /*line*/) override {}
  void RefreshLog(const std::string& /*log*/) override {}
  void ShowInformation(const std::string& /*text*/) override {}
};

// Phrases of a part: notes of every kind, lengths, rests, tuplets, slurs, the glide forms,
// detune, octave and control commands, repeats.
const char* const kPhrases[] = {
    "CDEF",       "G4A8B8",       "C.D16E8.", "C#D-E+F", "R4",       "R8.C16",  "L16CDEC",
    "L4",         "O5C<B>C",      ">C<",      "{CEG}4",  "{CDEFG}2", "C&D&E",   "C4&C8",
    "C^8",        "(CE)4",        "(EC)8",    "(C_G)4",  "(G_C)2",   "(C>C)4<", "@K8C4@K0",
    "@K~4D@K_4D", "V12",          "@V100",    "X8",      "P3",       "Q6",      "Q8",
    "|:2CE:|",    "|:3D{EF}8:|G", "C*480",    "E%96",    "K2CK0",    "@M1C@M0", "CDEFGAB>C<",
};

// splitmix64: the same draws on every machine.
uint64_t Next(uint64_t& state) {
  uint64_t z = (state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

// A score of `parts` parts of `phrases` phrases each; a faulty one has a stray letter in a part.
std::string MakeScore(uint64_t& state, int parts, int phrases, bool faulty) {
  const size_t phraseCount = std::size(kPhrases);
  std::string score;
  for (int part = 1; part <= parts; ++part) {
    score += std::to_string(part) + "[T" + std::to_string(90 + Next(state) % 60) + "@" +
             std::to_string(Next(state) % 16) + "O4";
    for (int i = 0; i < phrases; ++i) {
      score += kPhrases[Next(state) % phraseCount];
      if (faulty && i == phrases / 2 && part == parts) {
        score += "Z";
      }
    }
    score += "]\n";
  }
  return score;
}

bool ReadFile(const std::filesystem::path& path, std::string& bytes) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  bytes = text.str();
  return static_cast<bool>(in);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: quavrex_train EXAMPLES_FOLDER\n");
    return 2;
  }
  MemoryServices services;
  for (const auto& entry : std::filesystem::directory_iterator(argv[1])) {
    // By their own paths: a score finds its waves beside it.
    if (entry.path().extension() == ".mml" &&
        !ReadFile(entry.path(), services.files[entry.path().string()])) {
      std::fprintf(stderr, "quavrex_train: cannot read %s\n", entry.path().c_str());
      return 1;
    }
  }
  uint64_t state = 1;
  // Short scores, as most ring tones are, then long ones, which compile in halves.
  for (int i = 0; i < 40; ++i) {
    services.files["short" + std::to_string(i) + ".mml"] =
        MakeScore(state, 1 + i % 16, 8 + i, i % 10 == 9);
  }
  services.files["long16.mml"] = MakeScore(state, 16, 3000, false);
  services.files["long4.mml"] = MakeScore(state, 4, 6000, false);

  int written = 0;
  int failed = 0;
  for (const auto& [name, bytes] : services.files) {
    for (bool ma2 : {false, true}) {
      CompileOptions options;
      options.ma2 = ma2;
      std::string log;
      const CompileOutcome outcome = CompileFile(name, options, log, services);
      (outcome == CompileOutcome::kWritten ? written : failed) += 1;
    }
  }
  // A run that writes nothing trains nothing useful: the scores above must mostly compile.
  std::printf("quavrex_train: %d compiles written, %d failed\n", written, failed);
  return written > failed ? 0 : 1;
}
