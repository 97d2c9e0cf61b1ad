#ifndef QUAVREX_SEQUENCE_GLIDE_CHAIN_H_
#define QUAVREX_SEQUENCE_GLIDE_CHAIN_H_

#include <cstddef>
#include <cstdint>
#include <string>

// A portamento group planned as a chain of slurred notes with absolute lengths, the pitch moved
// between them by a detune step (MA2 glides) or a key step (MA1, or a group written with "_").
// Written out in the notation of a part, a glide from C to E reads
//   C*6&@K~4C*8&@K~4C*8& ... @K~4C*8&@K0E*6
// The sequence step sounds the chain one note per step, as it would that text, without the
// text ever being written.
//
// The chain's values (GlidePlan) stand apart from its texts (GlideChain), so that a new plan
// starts from fresh values and keeps the texts' storage: each group of a part used to build,
// move and free five strings.
struct GlidePlan {
  enum class Step : uint8_t { kDetune, kKey };

  bool active = false;    // the slot is sounding the chain
  size_t groupStart = 0;  // the group's "(" in the part text, where its faults are placed
  int64_t written1 = 0;   // note1's semitone in its octave (C = 0), accidentals included
  bool single = false;    // both notes are one pitch: one note of `firstTicks` and no steps

  int64_t firstTicks = 0;  // the first note
  Step step = Step::kDetune;
  int64_t stepValue = 0;  // the step command's value; stepUp: "~", otherwise "_"
  bool stepUp = true;
  int64_t steps = 0;  // step notes after the first, each `stepLength` fine units...
  int64_t stepLength = 0;
  int64_t acc = 0;  // ...the sub-tick rests carried from step to step
  // The chain ends after its steps: a step command or a step note there fails, so neither the
  // restoring command nor the second note is ever reached.
  bool cut = false;
  int64_t restore = 0;  // the detune (kDetune) or key shift (kKey) restored before the second note
  int64_t lastTicks = 0;  // the second note

  // Progress: -1 before the first note, then the step notes sounded; past `steps`, the second
  // note is next.
  int64_t done = -1;
};

// The plan with its texts.
struct GlideChain : GlidePlan {
  std::string marks[3];  // octave commands before, between and after the notes
  std::string note1;     // the notes as written: letter and accidentals
  std::string note2;
};

// The chain written out as part text, as in "C*6&@K~4C*8& ... @K0E*6" (for tests and traces).
std::string GlideChainText(const GlideChain& chain);

#endif  // QUAVREX_SEQUENCE_GLIDE_CHAIN_H_
