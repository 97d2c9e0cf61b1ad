#ifndef QUAVREX_MIDI_CHANNEL_WALKER_H_
#define QUAVREX_MIDI_CHANNEL_WALKER_H_

#include <array>
#include <cstdint>
#include <vector>

#include "core/bytes.h"
#include "reader/mmf_model.h"

// What the handset channels play, in MIDI terms but still timed in milliseconds: the tempo
// map turns the times into ticks once everything is known.

// A note on a MIDI channel; endMs is -1 while the note has not ended.
struct TimedNote {
  int channel = 0;
  int key = 0;
  int64_t startMs = 0;
  int64_t endMs = -1;
};

// A channel message other than a note or a bend.
struct TimedMessage {
  int channel = 0;
  int64_t ms = 0;
  Bytes message;
};

// A pitch bend in semitones, turned into a value once the channel's bend range is known.
struct TimedBend {
  int channel = 0;
  int64_t ms = 0;
  double deviation = 0.0;
};

struct TimedScore {
  std::vector<TimedNote> notes;
  std::vector<TimedMessage> messages;
  std::vector<TimedBend> bends;
  std::array<double, 16> largestDeviation{};  // per MIDI channel
};

// Turns the events of one handset channel, in time order, into notes and messages on its MIDI
// channel. Notes of a drum voice (drum note k) go to the drum channel as key k, note by note;
// on the rhythm part every note n is key n there. A frequency-mode note becomes the nearest
// key plus a bend for the rest; a legato change moves the bend, not the note (a change beyond
// the largest bend range strikes the new key instead); the bend returns to the centre before
// the next ordinary note.
class ChannelWalker {
 public:
  ChannelWalker(int midiChannel, bool rhythmPart, TimedScore& out)
      : channel_(midiChannel), rhythm_(rhythmPart), out_(out) {}

  void Take(const MmfEvent& event);
  // Ends a frequency-mode note still sounding at the end of the tune.
  void Finish(int64_t endMs);

 private:
  void SelectVoice(int64_t ms, int bank, int program);
  void Control(int64_t ms, int control, int value);
  void PlayNote(const MmfEvent& event);
  void PlayFrequency(const MmfEvent& event);
  void StrikeFrequency(int64_t ms, double pitch);
  void Bend(int64_t ms, double deviation);

  int channel_;
  bool rhythm_;
  TimedScore& out_;
  int bank_ = 0;
  int drumKey_ = -1;   // the drum note of the current voice; -1 for a melodic voice
  double bend_ = 0.0;  // the channel's bend now, in semitones
  int heldNote_ = -1;  // index of the sounding frequency-mode note in out_.notes
  int heldKey_ = 0;    // its key
};

#endif  // QUAVREX_MIDI_CHANNEL_WALKER_H_
