#ifndef QUAVREX_CORE_SEQ_EVENT_H_
#define QUAVREX_CORE_SEQ_EVENT_H_

#include <set>
#include <vector>

// Event kinds of the track event sets. At equal time a larger kind sorts first.
enum EventType {
  EV_FREQ_NOTE = 10,     // F-number low byte; high bits and block; 1 key-on, 2 legato, 0 key-off
  EV_NOTE = 20,          // note number; duration in ticks
  EV_ADPCM_NOTE = 25,    // wave slot 1-10; gate in ticks
  EV_END_OF_TRACK = 30,  // no parameters
  EV_MODULATION = 50,    // value; form flag
  EV_PAN = 60,           // pan 0-127
  EV_EXPRESSION = 70,    // value; form flag
  EV_VOLUME = 80,        // volume 0-127
  EV_VOICE = 90,         // voice number; bank
};

// One timed event of a track. `params` is not part of the order, so a held note's duration
// can be patched in place while the event sits in its set.
struct SeqEvent {
  int time = 0;     // ticks of the track timebase
  int type = 0;     // an EventType
  mutable std::vector<int> params;
  int channel = 0;  // channel within the track, 0-3; -1 for the end of a silent track
  int serial = 0;   // creation number, unique within one compile
};

// Track order: time, then larger type first, then channel, then creation serial.
struct SeqEventOrder {
  bool operator()(const SeqEvent& a, const SeqEvent& b) const {
    if (a.time != b.time) {
      return a.time < b.time;
    }
    if (a.type != b.type) {
      return a.type > b.type;
    }
    if (a.channel != b.channel) {
      return a.channel < b.channel;
    }
    return a.serial < b.serial;
  }
};

// Iterators of a multiset stay valid while other events are inserted.
using EventSet = std::multiset<SeqEvent, SeqEventOrder>;

// The program-wide event serial counter: each new event takes the next value (first 1).
// The part splitter resets it at the start of every compile.
void ResetEventSerial();
int NextEventSerial();

// Builds an event and gives it the next serial.
SeqEvent MakeEvent(int time, int type, std::vector<int> params, int channel);

#endif  // QUAVREX_CORE_SEQ_EVENT_H_
