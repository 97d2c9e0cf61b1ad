// genmidi_to_voices BANK LICENCE OUTPUT
//
// Converts the 2-operator FM bank BANK into the built-in MA2 voice records and writes them,
// headed by the bank's licence text from LICENCE, to OUTPUT (voices/ma2_bank_voices.inc).

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tools/genmidi_bank.h"

namespace {

bool ReadFile(const char* path, std::string& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    return false;
  }
  out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: genmidi_to_voices BANK LICENCE OUTPUT\n");
    return 2;
  }
  std::string lump;
  std::string licence;
  if (!ReadFile(argv[1], lump) || !ReadFile(argv[2], licence)) {
    std::fprintf(stderr, "genmidi_to_voices: cannot read %s or %s\n", argv[1], argv[2]);
    return 1;
  }
  std::vector<BankInstrument> bank;
  std::vector<DerivedVoice> voices;
  std::string error;
  const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(lump.data()), lump.size());
  if (!ParseBank(bytes, bank, error) || !DeriveBankVoices(bank, voices, error)) {
    std::fprintf(stderr, "genmidi_to_voices: %s: %s\n", argv[1], error.c_str());
    return 1;
  }
  const std::string text = FormatBankVoices(voices, licence);
  std::ofstream out(argv[3], std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  if (!out) {
    std::fprintf(stderr, "genmidi_to_voices: cannot write %s\n", argv[3]);
    return 1;
  }
  return 0;
}
