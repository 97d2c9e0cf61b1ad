#ifndef QUAVREX_MIDI_IMPORT_SMF_READER_H_
#define QUAVREX_MIDI_IMPORT_SMF_READER_H_

// Reads a Standard MIDI File into the few things a score is made from: notes with their start
// and end in ticks of the file, the controls a score can follow, the tempo map, the meters and
// the title and copyright texts.
//
// Layout: chunk = 4-byte tag, 4-byte big-endian body size, body. "MThd" (body of at least six
// bytes: format, track count, division) comes first; "MTrk" chunks follow, other chunks are
// skipped. A track is a list of events, each a variable-length delta time (at most four
// bytes, seven bits each) and a message: a channel message (status 0x80-0xEF, one or two data
// bytes; the status may be left out to repeat the last one), a system exclusive (F0 or F7,
// a variable-length size, the bytes) or a meta event (FF, type, variable-length size, data).

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// One note: on and off in ticks of the file, its channel (0-15), key and velocity (1-127).
struct SmfNote {
  int64_t on = 0;
  int64_t off = 0;
  uint8_t channel = 0;
  uint8_t key = 0;
  uint8_t velocity = 0;
};

// The controls a score follows; the others are skipped.
enum class SmfControlKind : uint8_t {
  kProgram,     // program change, value 0-127
  kVolume,      // CC7
  kPan,         // CC10
  kExpression,  // CC11
  kModulation,  // CC1
  kBend,        // pitch bend, -8192..8191
  kBendRange,   // RPN 0 data entry: the bend range in semitones
};

struct SmfControl {
  int64_t tick = 0;
  uint8_t channel = 0;
  SmfControlKind kind = SmfControlKind::kProgram;
  int16_t value = 0;
};

struct SmfTempo {
  int64_t tick = 0;
  uint32_t usPerQuarter = 500000;
};

struct SmfMeter {
  int64_t tick = 0;
  int numerator = 4;
  int denominatorPower = 2;  // the beat is a 2^power note
};

// What the file holds. Notes are in the order their note-off was read, controls, tempos and
// meters in time order (events of one time in file order, earlier tracks first).
struct SmfSong {
  int format = 0;
  int ticksPerQuarter = 0;  // 0 for an SMPTE division
  int framesPerSecond = 0;  // SMPTE: 24, 25, 29 (29.97 drop frame) or 30
  int ticksPerFrame = 0;
  std::vector<SmfNote> notes;
  std::vector<SmfControl> controls;
  std::vector<SmfTempo> tempos;
  std::vector<SmfMeter> meters;
  std::string title;      // the first track name (raw bytes)
  std::string copyright;  // the first copyright notice (raw bytes)
};

// Why a file could not be read: the byte offset of the fault and its description (UTF-8).
struct SmfFault {
  size_t offset = 0;
  std::string text;
};

// The reader keeps at most this many notes and controls, so that no file takes more than a few
// tens of MiB; a file with more is refused.
constexpr size_t kMaxSmfNotes = 50000;
constexpr size_t kMaxSmfControls = 1000000;

// Reads the file's bytes. False, with the first fault, for a file of format 2, a truncated or
// malformed file, or one beyond the caps. Never reads outside `size` bytes.
bool ReadSmf(const uint8_t* data, size_t size, SmfSong* song, SmfFault* fault);

#endif  // QUAVREX_MIDI_IMPORT_SMF_READER_H_
