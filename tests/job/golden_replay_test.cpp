// Replays a few thousand generated scores through the compile job and compares each outcome
// with the one recorded in tests/data/golden_scores.txt: the log line of a failure, or the
// size and an FNV-1a hash of the written image (and of the range report, when one was shown).
// The scores come from a seeded generator, so the file holds only the outcomes; a line also
// carries the hash of its score, so a changed generator is told apart from a changed compiler.
//
// The recorded outcomes are those of the compiler as it was; any change to the bytes or the
// messages of scores like these is a fault. To record the file anew (only when an issue rules
// that outputs change), run the test with QUAVREX_GOLDEN_OUT=<path>. With QUAVREX_GOLDEN_COUNT=<n>
// as well it records the first n scores instead: two builds that record many more scores than
// the file holds, compared line by line, show whether a change of the compiler kept its outputs.
// QUAVREX_GOLDEN_SCORES=<folder> writes the scores themselves there (WriteScores).

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "job/compile_job.h"
#include "tests/temp_folder.h"
#include "tests/test_util.h"

namespace {

constexpr int kScoreCount = 3000;

uint64_t Fnv64(const void* data, size_t size) {
  uint64_t h = 14695981039346656037ull;
  const auto* p = static_cast<const uint8_t*>(data);
  for (size_t i = 0; i < size; ++i) {
    h = (h ^ p[i]) * 1099511628211ull;
  }
  return h;
}

std::string Hex(uint64_t value, int digits) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out(static_cast<size_t>(digits), '0');
  for (int i = digits - 1; i >= 0; --i, value >>= 4) {
    out[static_cast<size_t>(i)] = kDigits[value & 15];
  }
  return out;
}

// splitmix64: a small generator whose sequence never depends on the platform.
class Rng {
 public:
  explicit Rng(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  int Below(int n) { return static_cast<int>(Next() % static_cast<uint64_t>(n)); }
  int Range(int low, int high) { return low + Below(high - low + 1); }
  bool Chance(int percent) { return Below(100) < percent; }
  template <size_t N>
  const char* Pick(const char* const (&items)[N]) {
    return items[Below(static_cast<int>(N))];
  }

 private:
  uint64_t state_;
};

std::string Num(int n) { return std::to_string(n); }

// ---- Score generator -------------------------------------------------------------------------

struct Generator {
  Rng& r;
  bool ma2;
  int faults;  // how many faulty pieces this score may still take

  std::string Length() {
    std::string out;
    switch (r.Below(10)) {
      case 0:
      case 1:
      case 2:
      case 3:
        break;
      case 4:
        out = "*" + Num(r.Range(1, 400));
        break;
      case 5:
        out = "%" + Num(r.Range(1, 96));
        break;
      default:
        out = r.Pick({"1", "2", "3", "4", "6", "8", "12", "16", "32", "64"});
    }
    if (r.Chance(12)) {
      out += r.Chance(70) ? "." : "..";
    }
    if (r.Chance(10)) {
      out += "^" + std::string(r.Pick({"8", "4", "*30", "%12", "16."}));
    }
    return out;
  }

  std::string Letter() { return std::string(1, static_cast<char>('A' + r.Below(7))); }

  std::string Accidental() { return r.Chance(20) ? r.Pick({"+", "-", "#", "++", "-+"}) : ""; }

  std::string Note() { return Letter() + Accidental() + Length(); }

  std::string Mark() { return r.Pick({"", "", "", ">", "<", "O5", "O3", "O+4"}); }

  std::string Portamento() {
    std::string out = "(" + Mark() + Letter() + Accidental() + Mark();
    out += r.Pick({"", "", ",", "_"});
    out += Mark() + Letter() + Accidental() + Mark() + ")" + Length();
    switch (r.Below(6)) {
      case 0:
        out += "," + Num(r.Range(1, 60));
        break;
      case 1:
        out += "," + Num(r.Range(1, 40)) + "," + Num(r.Range(1, 40));
        break;
      case 2:
        out += "," + Num(r.Range(1, 30)) + "," + Num(r.Range(1, 30)) + "," + Num(r.Range(1, 30));
        break;
      case 3:
        out += ",," + Num(r.Range(1, 60));
        break;
      default:
        break;
    }
    return out;
  }

  std::string Tuplet() {
    std::string out = "{";
    for (int i = r.Range(1, 5); i > 0; --i) {
      out += r.Pick({"C", "D+", "E", "F#", "G-", "A", "B", "R", ">C", "<B", "V9C", "@V~4D", "&",
                     "@K8E", "Q4F"});
    }
    return out + "}" + Length();
  }

  std::string Command() {
    switch (r.Below(24)) {
      case 0:
        return "O" + Num(r.Range(3, 5));
      case 1:
        return r.Pick({"<", ">"});
      case 2:
        return "L" + std::string(r.Pick({"1", "2", "4", "8", "16", "3", "12"}));
      case 3:
        return "T" + Num(r.Range(40, 250));
      case 4:
        return "V" + Num(r.Range(0, 15));
      case 5:
        return "@V" + Num(r.Range(0, 127));
      case 6:
        return r.Pick({"@V~", "@V_", "@V~8", "@V_20", "@V~126"});
      case 7:
        return "@" + Num(r.Chance(80) || !ma2 ? r.Range(0, 127) : r.Range(152, 212));
      case 8:
        return "@K" + std::string(r.Chance(30) ? "-" : "") + Num(r.Range(0, 40));
      case 9:
        return r.Pick({"@K~4", "@K_4", "@K~", "@K_16", "@K0"});
      case 10:
        return "K" + std::string(r.Chance(40) ? "-" : "") + Num(r.Range(0, 5));
      case 11:
        return r.Pick({"K~1", "K_1", "K_2", "K~2", "K0"});
      case 12:
        return "Q" + Num(r.Range(1, 8));
      case 13:
        return "X" + Num(r.Range(1, 15));
      case 14:
        return "P" + Num(r.Range(1, 3));
      case 15:
        return std::string(r.Pick({"@P", "@X", "@M"})) + Num(r.Range(0, 127));
      case 16:
        return "&";
      case 17:
        return "R" + Length();
      case 18:
        return Tuplet();
      case 19:
      case 20:
        return Portamento();
      default:
        return Note() + (r.Chance(15) ? "&" : "");
    }
  }

  std::string Fault() {
    --faults;
    return r.Pick({"V16",    "L0",       "@V200",       "Q9",     "X0",     "P4",   "*0",
                   "C0",     "C%",       "C*",          "(CR)4",  "((CE)4", ")",    "}",
                   "{C4}4",  "{}4",      "|:1C:|",      ":|",     "|:C",    "J",    "?",
                   "@Z",     "H",        "O",           "T0",     "@K600",  "K200", "{CDE",
                   "(C)4",   "(CE)4,99", "(CE)4,60,50", "(CE)*1", "O9C",    "O0C",  "K~127C",
                   "@O3",    "N9",       "@200",        "^",      ".",      "C.5",  "{C(DE)}",
                   "{CD}4{", "\x82\xA0", "(C\x82\xA0",  "(CE"});
  }

  std::string Repeat() {
    std::string body;
    for (int i = r.Range(1, 4); i > 0; --i) {
      body += Command();
    }
    std::string count = r.Chance(50) ? "" : Num(r.Range(2, 4));
    return "|:" + count + body + ":|";
  }

  std::string PartBody(int tokens) {
    std::string out;
    for (int i = 0; i < tokens; ++i) {
      if (faults > 0 && r.Chance(4)) {
        out += Fault();
      } else if (r.Chance(5)) {
        out += Repeat();
      } else {
        out += Command();
      }
      if (r.Chance(8)) {
        out += r.Pick({" ", "\r\n", "\t", "  "});
      }
    }
    return out;
  }

  std::string AdpcmBody(int tokens) {
    std::string out;
    for (int i = 0; i < tokens; ++i) {
      switch (r.Below(12)) {
        case 0:
          out += "R" + Length();
          break;
        case 1:
          out += "V" + Num(r.Range(0, 15));
          break;
        case 2:
          out += r.Pick({"@V90", "@V~", "@V_8", "Q6", "L8", "T100", "&"});
          break;
        case 3:
          out += std::string("{") + r.Pick({"AB", "ARB", "AAA", "B&B"}) + "}" + Length();
          break;
        case 4:
          out += r.Pick({"A4&A8", "B8&B", "A&R", "A2^4"});
          break;
        default:
          out += std::string(r.Chance(60) ? "A" : "B") + Length();
      }
      if (faults > 0 && r.Chance(5)) {
        --faults;
        out += r.Pick({"C", "A+", "@3", "@Q", "V20", "}", "{A", "A&B", "*", "L0", "{}4"});
      }
    }
    return out;
  }

  // The contents and voice blocks; a faulty one only where the score may take a fault.
  std::string Contents() {
    if (faults > 0 && r.Chance(10)) {
      --faults;
      return r.Pick({"C[ST:x]", "C[ST:\\xZZ,]", "D[@B1]", "D[@D256]"});
    }
    return r.Pick({"", "", "C[ST:Song,AN:Someone,]", "c[ST:a\\,b,]\r\n", "C[ST:\\x41,]"});
  }

  std::string Voices() {
    static const char kW[] =
        "D[W@1,2,5,1,3,7,1,0,1,2,1,3,1,1,15,4,9,6,40,0,1,0,1,0,1,0,0,1,2,12,3,2,8,0]";
    return r.Pick({"", "", "", "D[@A0]", "D[@L19@R16]", "d[@C0@D255]", "D[@A1 @R 3]", kW});
  }

  // A whole score: optional contents and voice blocks, parts, and in MA2 sometimes an A part.
  std::string Score() {
    std::string out = Contents() + Voices();
    const int maxPart = ma2 ? 16 : 4;
    const int parts = r.Chance(15) ? r.Range(1, maxPart) : r.Range(1, 3);
    int fourOp = 0;
    for (int i = 0; i < parts; ++i) {
      const int number = r.Range(1, maxPart);
      std::string head;
      if (ma2 && r.Chance(20) && fourOp++ < 3) {
        head = "@O4";
      }
      if (ma2 && number == 10 && r.Chance(50)) {
        head += "N10";
      }
      std::string body = head + PartBody(r.Range(1, 40));
      if (r.Chance(10)) {
        body[static_cast<size_t>(r.Below(static_cast<int>(body.size())))] |= 0x20;  // lower case
      }
      out += Num(number) + "[" + body + "]" + (r.Chance(50) ? "\r\n" : "");
    }
    if (ma2 && r.Chance(25)) {
      out += r.Pick({"F[A<wa.adp>B<wb.adp>]", "F[A<wa.adp>]F[B<wb.adp>]", "F[A<wa.adp>B<none.adp>]",
                     "F[A<wa.adp>B<wa.adp>]"});
      out += "A[" + AdpcmBody(r.Range(1, 25)) + "]";
    }
    if (faults > 0 && r.Chance(20)) {
      out += r.Pick({"1[C", "D[", "C[x", "F[", "5[CDE"});
    }
    return out;
  }
};

// ---- Replaying through the compile job -------------------------------------------------------

class MemoryServices : public CompileServices {
 public:
  std::string source;
  Bytes written;
  bool wrote = false;
  std::string shown;

  bool ReadWholeFile(const std::string& /*path*/, std::string& bytes) override {
    bytes = source;
    return true;
  }
  WriteResult WriteWholeFile(const std::string& /*path*/, const Bytes& data) override {
    ExpectSoundMmf(data);
    written = data;
    wrote = true;
    return WriteResult::kOk;
  }
  void Sleep(int /*milliseconds*/) override {}
  void LineLogged(const std::string& /*line*/) override {}
  void RefreshLog(const std::string& /*log*/) override {}
  void ShowInformation(const std::string& text) override { shown = text; }
};

// What compiling `source` gives: "ok", the image size and hash and the report hash ("-"
// without one), or the log text of the failure.
std::string CompiledOutcome(const std::string& folder, const CompileOptions& options,
                            const std::string& source) {
  MemoryServices services;
  services.source = source;
  std::string log;
  CompileFile(folder + "/s.MML", options, log, services);
  if (services.wrote) {
    return "ok " + Num(static_cast<int>(services.written.size())) + " " +
           Hex(Fnv64(services.written.data(), services.written.size()), 16) + " " +
           (services.shown.empty() ? "-"
                                   : Hex(Fnv64(services.shown.data(), services.shown.size()), 16));
  }
  // "s.MML " + the message + "\r\n"
  return log.substr(6, log.size() - 8);
}

// Score `index` and the options it is compiled with.
std::string GeneratedScore(int index, CompileOptions& options) {
  Rng r(0x51A7E5EEDull + static_cast<uint64_t>(index) * 7919);
  Generator g{r, r.Chance(55), r.Chance(30) ? r.Range(1, 2) : 0};
  options = CompileOptions();
  options.ma2 = g.ma2;
  options.voiceSetup = r.Range(0, 2);
  options.octaveCheck = r.Chance(30);
  options.ezgetTrailer = r.Chance(80);
  return g.Score();
}

// The outcome line of score `index`: the hash of the score, then what compiling it gives.
std::string Outcome(int index, const std::string& folder, std::string& score) {
  CompileOptions options;
  score = GeneratedScore(index, options);
  return Num(index) + " " + Hex(Fnv64(score.data(), score.size()), 8) + " " +
         CompiledOutcome(folder, options, score);
}

// Writes the first `count` scores into `folder` as NNNN.mml, with the two waves they may play
// and options.txt: per score a line "NNNN ma1|ma2 voiceSetup octaveCheck ezgetTrailer" (0 or 1
// each), for replays outside this program (the web page's tests).
void WriteScores(const std::string& folder, int count) {
  std::ofstream(folder + "/wa.adp", std::ios::binary) << std::string(48, '\x35');
  std::ofstream(folder + "/wb.adp", std::ios::binary) << "\x01\x23\x45\x67\x89\xAB\xCD\xEF wave b";
  std::ofstream list(folder + "/options.txt", std::ios::binary);
  for (int i = 0; i < count; ++i) {
    CompileOptions options;
    const std::string score = GeneratedScore(i, options);
    char name[16];
    std::snprintf(name, sizeof name, "%04d", i);
    std::ofstream(folder + "/" + name + ".mml", std::ios::binary) << score;
    list << name << (options.ma2 ? " ma2 " : " ma1 ") << (options.voiceSetup == 1 ? 1 : 0) << " "
         << options.octaveCheck << " " << options.ezgetTrailer << "\n";
  }
}

std::string GoldenPath() { return std::string(QUAVREX_TEST_DATA_DIR) + "/golden_scores.txt"; }

TEST(GoldenReplayTest, GeneratedScoresKeepTheirRecordedOutcomes) {
  TempFolder folder;
  folder.Put("wa.adp", std::string(48, '\x35'));
  folder.Put("wb.adp", "\x01\x23\x45\x67\x89\xAB\xCD\xEF wave b");

  if (const char* scores = std::getenv("QUAVREX_GOLDEN_SCORES")) {
    const char* count = std::getenv("QUAVREX_GOLDEN_COUNT");
    WriteScores(scores, count != nullptr ? std::atoi(count) : kScoreCount);
    GTEST_SKIP() << "wrote the scores into " << scores;
  }
  if (const char* out = std::getenv("QUAVREX_GOLDEN_OUT")) {
    std::ofstream file(out, std::ios::binary);
    const char* count = std::getenv("QUAVREX_GOLDEN_COUNT");
    const int scores = count != nullptr ? std::atoi(count) : kScoreCount;
    for (int i = 0; i < scores; ++i) {
      std::string score;
      file << Outcome(i, folder.path, score) << "\n";
    }
    GTEST_SKIP() << "recorded " << out;
  }

  std::ifstream file(GoldenPath(), std::ios::binary);
  ASSERT_TRUE(file) << GoldenPath();
  std::vector<std::string> golden;
  for (std::string line; std::getline(file, line);) {
    golden.push_back(line);
  }
  ASSERT_EQ(golden.size(), static_cast<size_t>(kScoreCount));
  int mismatches = 0;
  for (int i = 0; i < kScoreCount && mismatches < 10; ++i) {
    std::string score;
    const std::string line = Outcome(i, folder.path, score);
    if (line != golden[static_cast<size_t>(i)]) {
      ++mismatches;
      ADD_FAILURE() << "score " << i << "\n  recorded: " << golden[static_cast<size_t>(i)]
                    << "\n  now:      " << line << "\n  score:    " << score;
    }
  }
}

// Scores far longer than the generated ones, whose image outgrows the room reserved for its
// events. Each is compiled twice in one process, the second time into the memory the first
// left behind, and both images must keep the bytes recorded from the compiler as it was.
std::string Repeated(const std::string& piece, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) {
    out += piece;
  }
  return out;
}

std::string SixteenParts(int bars) {
  std::string score;
  for (int part = 1; part <= 16; ++part) {
    score += Num(part) + "[T120@" + Num(part - 1) + "K" + Num(part % 5 - 2) + "O4" +
             Repeated("L8CD#EF.{GAB}4C&D&E(CE)4@K8C4@K0R8V12>C<C@V100X8P3(G_C)8", bars) + "]\n";
  }
  return score;
}

TEST(GoldenReplayTest, LongScoresKeepTheirRecordedBytes) {
  struct LongCase {
    const char* name;
    bool ma2;
    std::string score;
    size_t size;
    uint64_t hash;
  };
  const LongCase kCases[] = {
      {"sixteen parts, channels interleaved", true, SixteenParts(80), 379941,
       0xc95aa762082e4facull},
      {"80000 notes on one channel", false, "1[" + Repeated("C16D16", 40000) + "]", 240076,
       0x23fa23b84993209eull},
      {"deltas of 2^31 ticks, near the image cap", false, "1[|:31C*2147483647:|]", 16128043,
       0xb91e09920bacb924ull},
  };
  TempFolder folder;
  for (const LongCase& c : kCases) {
    SCOPED_TRACE(c.name);
    for (int round = 0; round < 2; ++round) {
      MemoryServices services;
      services.source = c.score;
      CompileOptions options;
      options.ma2 = c.ma2;
      std::string log;
      CompileFile(folder.path + "/long.MML", options, log, services);
      ASSERT_TRUE(services.wrote) << log;
      EXPECT_EQ(services.written.size(), c.size);
      EXPECT_EQ(Fnv64(services.written.data(), services.written.size()), c.hash);
    }
  }
}

}  // namespace
