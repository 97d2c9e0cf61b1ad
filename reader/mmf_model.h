#ifndef QUAVREX_READER_MMF_MODEL_H_
#define QUAVREX_READER_MMF_MODEL_H_

// What the reader makes of an .MMF file: plain structs, no parsing logic. Every offset is a
// byte offset from the start of the file. Times are absolute: ticks of the track's timebase
// and milliseconds (ticks times the timebase's milliseconds). Fields that an event kind does
// not use read as their defaults (-1 for numbers).

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// What kind of fault a finding reports.
enum class FindingKind {
  kNotMmf,          // the file does not start with "MMMD" and its size
  kNotSupported,    // another kind of .MMF: other format bytes or a later chip's layout
  kSizeMismatch,    // a size field disagrees with the bytes or the structure around it
  kCrcMismatch,     // the stored CRC is not the one the bytes give
  kUnknownTag,      // a chunk tag this reader does not know
  kTruncated,       // a chunk, event or record is cut off by the end of its chunk or file
  kUnknownMessage,  // a message form of no known kind; the rest of its sequence is skipped
  kBadTimebase,     // a timebase code other than 0-3 and 0x10-0x13
  kBadValue,        // a field holds a value outside its range (noted, parsing goes on)
};

// One fault, where it was found and what it is, in words.
struct Finding {
  FindingKind kind = FindingKind::kSizeMismatch;
  size_t offset = 0;
  std::string text;
};

// A chunk as the file lays it out: the tree in file order, `depth` 0 for "MMMD", 1 for its
// chunks, 2 for the sub-chunks of a track. `tag` holds the four tag bytes as they are (a
// track's number included). `bodySize` is what the file really holds after the header, which
// is less than `declaredSize` when the chunk is cut off.
struct MmfChunk {
  std::string tag;
  size_t offset = 0;
  uint32_t declaredSize = 0;
  size_t bodySize = 0;
  int depth = 0;
};

// One "XX:value," field of the contents options; tag and value are raw Shift-JIS bytes (the
// value without its comma, escapes such as "\," kept as written).
struct ContentsField {
  std::string tag;
  std::string value;
  size_t offset = 0;
  // The value holds a comma that no backslash keeps (the score wrote it as "\x2C"): a reader
  // that ends a value at every comma would see a field more here.
  bool bareComma = false;
};

// The contents chunk "CNTI": five fixed bytes, then the option text.
struct MmfContents {
  bool present = false;
  size_t offset = 0;
  uint8_t contentsClass = 0;  // the five fixed bytes in order; the compiler writes 0 0 0 s 0
  uint8_t contentsType = 0;
  uint8_t codeType = 0;
  uint8_t status = 0;
  uint8_t copyStatus = 0;
  std::string options;  // every option byte as stored
  std::vector<ContentsField> fields;
};

// The kinds from kModulation to kOtherControl are the controls; they stay together.
enum class MmfEventKind : uint8_t {
  kNote,            // note: channel, note (absolute), octave/semitone in the window, gate
  kDirectNote,      // audio track: waveSlot, gate
  kModulation,      // value (raw), decoded (0-127), shortForm
  kExpression,      // value (raw), decoded (0-127), shortForm
  kVolume,          // value = decoded
  kPan,             // value = decoded
  kOctaveShift,     // shift -2 ... +2 (value holds the raw byte)
  kVoice,           // bank select and program change as the writer pairs them: bank, program
  kBankSelect,      // a bank select not followed directly by a program change: bank
  kProgramChange,   // a program change without its bank select: program, bank = last bank
  kOtherControl,    // a control number this reader does not name: control, value
  kFrequencyNote,   // exclusive 43 03 90: fnumberLow, highByte, block, fnumber, keyState
  kVoiceSlots,      // exclusive 43 03 91: pair byte, slots of the pair's channels
  kMa1Opening,      // exclusive 43 01 80 31 x F7: value = x
  kOtherExclusive,  // any other exclusive: its data bytes (ExclusiveData in the reader)
  kNop,             // FF 00 (the writer puts one after each delta of 16511)
  kEndOfSequence,   // 00 00 00 00
};

// Key state of a frequency note: the writer's key-on (1), legato change (2) and key-off (0).
// A legato change that moves the high byte is stored like a key-on and reads back as one.
enum class KeyState : uint8_t { kOff = 0, kOn = 1, kLegato = 2 };

// What each kind of event carries beside its time and channel. The reader writes the member
// of the event's kind whole; the accessors of MmfEvent read only that one.
struct NoteParams {    // kNote, kDirectNote
  int16_t gateTicks;   // in ticks of the gate timebase
  uint8_t gateTickMs;  // milliseconds of one gate tick (0 when the timebase is unknown)
  int8_t note;         // absolute note number (60 = O4 C)
  int8_t octave;       // 0-3 within the window
  int8_t semitone;     // 1-12 as stored
  int8_t shift;        // the channel's window when the note was read
  int8_t waveSlot;     // direct notes: 1-63 as stored (the compiler writes 1-10)
};
struct ControlParams {  // every message after the control prefix 00
  int16_t decoded;      // 0-127 (the window of an octave shift), -1 when not decoded
  uint8_t value;        // raw value byte (short forms: the compact value)
  uint8_t control;      // the 6-bit number (0x30-0x3F) of a long control
  uint8_t bank;         // voice selects, bank selects and program changes
  uint8_t program;      // voice selects and program changes
  int8_t shift;         // octave shifts: -2 ... +2, 0 when out of range
  bool shortForm;
};
struct FrequencyParams {
  int16_t fnumberLow;  // -1 when the message did not carry it
  int16_t highByte;    // -1 when the message did not carry it
  int16_t fnumber;     // -1 while no high byte is in effect
  int8_t block;        // -1 while no high byte is in effect
  KeyState keyState;
};
struct VoiceSlotParams {
  uint8_t pairByte;  // 24 + 2t or 25 + 2t
  uint8_t slotLow;   // voice slot of the pair's first channel (15 = none)
  uint8_t slotHigh;
};
struct ExclusiveParams {  // kMa1Opening, kOtherExclusive
  uint32_t dataStart;     // other exclusives: their data in MmfFile::exclusiveBytes
  uint8_t dataSize;
  uint8_t value;  // the MA1 opening's byte
};

// One event of a sequence. A large file holds millions of them, so the record is small: the
// parameters of the kinds share one union and the times in milliseconds are worked out from
// the ticks. The accessors give every field for every kind, as -1 where the kind has none
// (shift 0, shortForm false, keyState kOn).
struct MmfEvent {
  int64_t tick = 0;     // absolute time in ticks of the duration timebase
  uint32_t offset = 0;  // first byte of the message (after its delta); files are below 4 GiB
  MmfEventKind kind = MmfEventKind::kNop;
  int8_t channel = -1;     // 0-3 within the track, -1 for messages of no channel
  int8_t absChannel = -1;  // 4 * (track number - 1) + channel in MA2, channel in MA1 and audio
  uint8_t tickMs = 0;      // milliseconds of one tick (0 when the timebase is unknown)
  union Params {
    NoteParams note;
    ControlParams control;
    FrequencyParams frequency;
    VoiceSlotParams voiceSlots;
    ExclusiveParams exclusive;
  } params{};

  // Absolute time in milliseconds.
  int64_t ms() const { return tick * tickMs; }

  // Notes: absolute note number, its place in the window, the gate (direct notes too).
  int note() const { return kind == MmfEventKind::kNote ? params.note.note : -1; }
  int octave() const { return kind == MmfEventKind::kNote ? params.note.octave : -1; }
  int semitone() const { return kind == MmfEventKind::kNote ? params.note.semitone : -1; }
  int64_t gateTicks() const { return Gated() ? params.note.gateTicks : -1; }
  int64_t gateMs() const { return Gated() ? gateTicks() * params.note.gateTickMs : -1; }
  int waveSlot() const { return kind == MmfEventKind::kDirectNote ? params.note.waveSlot : -1; }
  // The window of a note or an octave shift.
  int shift() const {
    return kind == MmfEventKind::kNote          ? params.note.shift
           : kind == MmfEventKind::kOctaveShift ? params.control.shift
                                                : 0;
  }

  // Controls.
  int control() const {
    return IsControl() && !params.control.shortForm ? params.control.control : -1;
  }
  int value() const {
    return IsControl()                         ? params.control.value
           : kind == MmfEventKind::kMa1Opening ? params.exclusive.value
                                               : -1;
  }
  int decoded() const { return IsControl() ? params.control.decoded : -1; }
  bool shortForm() const { return IsControl() && params.control.shortForm; }

  // Voices: bank byte (bit 0 four-operator, bit 7 drum), program 0-127, and from them the
  // voice number (program + 128 for drums) and voice key (voice + 256 for four-operator).
  int bank() const {
    return SelectsVoice() || kind == MmfEventKind::kBankSelect ? params.control.bank : -1;
  }
  int program() const { return SelectsVoice() ? params.control.program : -1; }
  int voice() const {
    if (!SelectsVoice()) {
      return -1;
    }
    return (params.control.program & 0x7F) + ((params.control.bank & 0x80) != 0 ? 128 : 0);
  }
  int voiceKey() const {
    return SelectsVoice() ? voice() + ((params.control.bank & 0x01) != 0 ? 256 : 0) : -1;
  }

  // Frequency notes. highByte is the second data byte without the key bit (0x20); it holds
  // the block in bits 4-2 and (F-number >> 8) + 1 in bits 1-0. fnumberLow and highByte are
  // -1 when the message did not carry them (a legato change carries only the low byte);
  // fnumber (0-1023) comes from the low byte and the high byte in effect.
  int fnumberLow() const { return IsFrequency() ? params.frequency.fnumberLow : -1; }
  int highByte() const { return IsFrequency() ? params.frequency.highByte : -1; }
  int block() const { return IsFrequency() ? params.frequency.block : -1; }
  int fnumber() const { return IsFrequency() ? params.frequency.fnumber : -1; }
  KeyState keyState() const { return IsFrequency() ? params.frequency.keyState : KeyState::kOn; }

  // Voice slot messages: the pair byte (24 + 2t or 25 + 2t), the absolute channel of the
  // pair's first channel and the voice slot of each of its two channels (15 = none).
  int pairByte() const { return IsSlots() ? params.voiceSlots.pairByte : -1; }
  int pairChannel() const {
    const int index = pairByte() - 24;
    return IsSlots() ? 4 * (index / 2) + 2 * (index % 2) : -1;
  }
  int slotLow() const { return IsSlots() ? params.voiceSlots.slotLow : -1; }
  int slotHigh() const { return IsSlots() ? params.voiceSlots.slotHigh : -1; }

 private:
  bool Gated() const { return kind == MmfEventKind::kNote || kind == MmfEventKind::kDirectNote; }
  bool IsControl() const {
    return kind >= MmfEventKind::kModulation && kind <= MmfEventKind::kOtherControl;
  }
  bool SelectsVoice() const {
    return kind == MmfEventKind::kVoice || kind == MmfEventKind::kProgramChange;
  }
  bool IsFrequency() const { return kind == MmfEventKind::kFrequencyNote; }
  bool IsSlots() const { return kind == MmfEventKind::kVoiceSlots; }
};
// Invariant: the record stays within 24 bytes; the reader reserves room for a sequence's
// events from its size, so this bounds its memory at eight times the file.
static_assert(sizeof(MmfEvent) <= 24);

// The named fields of one operator of an MA2 voice record (five bytes).
struct OperatorFields {
  int multiple = 0;
  int vibrato = 0;  // vibrato flag
  int envelope = 0;
  int sustain = 0;  // sustain flag
  int keyScaleRate = 0;
  int releaseRate = 0;
  int decayRate = 0;
  int attackRate = 0;
  int sustainLevel = 0;
  int totalLevel = 0;
  int keyScaleLevel = 0;
  int vibratoLevel = 0;
  int tremoloLevel = 0;
  int tremolo = 0;  // tremolo flag
  int waveform = 0;
};

enum class VoiceRecordKind { kMa1, kMa2TwoOp, kMa2FourOp, kOther };

// One voice exclusive of the setup chunk. `record` holds the bytes after the three header
// bytes (the 13/14 MA1 bytes or the 13/23 MA2 bytes, F7 included when present).
struct VoiceRecord {
  VoiceRecordKind kind = VoiceRecordKind::kOther;
  size_t offset = 0;  // the FF of the exclusive
  int slot = -1;      // MA2 voice slot; MA1 the message index
  int bank = -1;      // MA2: 0x00, 0x80, 0x01, 0x81; MA1: the byte after the index
  int number = -1;    // program or drum note
  int voice = -1;     // number + 128 for drums
  int voiceKey = -1;  // voice + 256 for four-operator voices
  std::vector<uint8_t> record;
  bool complete = false;  // the record has its full length and ends in F7

  // MA2 records: header fields and one entry per operator (2 or 4).
  int effectFrequency = 0;
  int feedback = 0;
  int algorithm = 0;   // bits 2-0 as stored (4-7 in a four-operator record)
  int secondByte = 0;  // the whole second byte; the named-field forms write 1
  std::vector<OperatorFields> operators;
};

// A score track "MTR" n.
struct ScoreTrack {
  size_t offset = 0;
  int number = 0;          // 0 in MA1, 1-4 in MA2
  uint8_t header[6] = {};  // the six bytes after the chunk header
  int durationCode = -1;
  int gateCode = -1;
  int durationMs = 0;  // 0 when the code is not a timebase
  int gateMs = 0;
  bool hasSetup = false;
  int setupOpening = -1;  // MA1 setup opening FF F0 05 43 02 80 x F7: x
  std::vector<VoiceRecord> voices;
  std::vector<MmfEvent> events;
};

// One "Awa" k chunk of the audio track.
struct Wave {
  size_t offset = 0;
  int slot = 0;               // k, 1-10 in the compiler's files
  size_t byteCount = 0;       // bytes present
  size_t dataOffset = 0;      // first byte of the wave data
  std::vector<uint8_t> data;  // the wave data as stored (4-bit ADPCM in the compiler's files)
  int64_t durationMs = 0;     // 4-bit ADPCM: two samples per byte; 0 when the rate is unknown
};

// The audio track "ATR" 0.
struct AudioTrack {
  size_t offset = 0;
  uint8_t header[6] = {};
  int waveType = -1;   // the wave type byte
  bool adpcm = false;  // bits 6-4 = 1
  int sampleRate = 0;  // Hz; 0 when the code is unknown
  int channels = 1;
  int durationCode = -1;
  int gateCode = -1;
  int durationMs = 0;
  int gateMs = 0;
  std::vector<MmfEvent> events;
  std::vector<Wave> waves;
};

enum class MmfFormat { kUnknown, kMa1, kMa2 };

struct MmfFile {
  size_t fileSize = 0;                     // bytes read
  uint32_t declaredSize = 0;               // the size field after "MMMD"
  MmfFormat format = MmfFormat::kUnknown;  // from the track numbers
  bool supported = true;  // false for other kinds of .MMF (see the kNotSupported finding)
  std::vector<MmfChunk> chunks;
  MmfContents contents;
  std::vector<ScoreTrack> tracks;
  bool hasAudio = false;
  AudioTrack audio;
  bool hasCrc = false;
  uint16_t storedCrc = 0;
  uint16_t computedCrc = 0;
  bool ezget = false;  // the two bytes 1D 0F follow the CRC
  std::vector<Finding> findings;
  std::vector<uint8_t> exclusiveBytes;  // the data of every kOtherExclusive event, in turn
};

#endif  // QUAVREX_READER_MMF_MODEL_H_
