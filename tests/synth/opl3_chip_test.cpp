// A recording holds every call the chips made under it pass to the emulator, in order, and a
// replay of it sounds as the chips did.

#include "synth/opl3_chip.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <vector>

namespace {

// A keyed tone on chip channel 0: multiple 1, fast attack, full level on the carrier.
void PlayTone(Opl3Chip& chip) {
  chip.Write(0x20, 0x01);
  chip.Write(0x23, 0x01);
  chip.Write(0x60, 0xF4);
  chip.Write(0x63, 0xF4);
  chip.Write(0xC0, 0x10);
  chip.Write(0xA0, 0x44);
  chip.Write(0xB0, 0x31);
}

TEST(Opl3ChipTest, RecordingHoldsTheCallsOfChipsMadeUnderIt) {
  Opl3Chip before;  // made before the recording: never recorded
  std::vector<Opl3Call> calls;
  std::vector<int32_t> played(64);
  {
    const Opl3Recording recording(calls);
    std::array<Opl3Chip, 2> chips;
    chips[1].Reset(0x3E);  // every 4-operator pair but channels 0+3
    PlayTone(chips[1]);
    before.Write(0xB0, 0x31);
    chips[1].Generate(played.data(), 40);
    chips[0].Generate(played.data() + 40, 24);
  }
  Opl3Chip after;  // made after it ended: never recorded
  after.Write(0xB0, 0x31);

  // Reset and seven writes on the second chip, then a run of samples on each.
  ASSERT_EQ(calls.size(), 10U);
  EXPECT_EQ(calls[0].kind, Opl3Call::Kind::kReset);
  EXPECT_EQ(calls[0].arg, 0x3E);
  EXPECT_EQ(calls[7].chip, 1);
  EXPECT_EQ(calls[7].arg, 0xB0);
  EXPECT_EQ(calls[7].value, 0x31);
  EXPECT_EQ(calls[9].kind, Opl3Call::Kind::kGenerate);
  EXPECT_EQ(calls[9].chip, 0);
  EXPECT_EQ(calls[9].arg, 24);

  // Replayed on fresh chips, the calls give the same samples, and the tone is heard.
  std::array<Opl3Chip, 2> replay;
  std::vector<int32_t> replayed(64);
  int32_t* at = replayed.data();
  for (const Opl3Call& call : calls) {
    if (call.kind == Opl3Call::Kind::kReset) {
      replay[call.chip].Reset(call.arg);
    } else if (call.kind == Opl3Call::Kind::kWrite) {
      replay[call.chip].Write(call.arg, call.value);
    } else {
      replay[call.chip].Generate(at, call.arg);
      at += call.arg;
    }
  }
  EXPECT_EQ(replayed, played);
  EXPECT_TRUE(std::any_of(played.begin(), played.begin() + 40, [](int32_t s) { return s != 0; }));
}

}  // namespace
