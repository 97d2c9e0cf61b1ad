#include "midi_import/smf_reader.h"

#include <algorithm>
#include <array>

#include "midi_import/import_messages.h"

namespace im = import_messages;

namespace {

// Ticks beyond this (about 2^40) are refused: sums of deltas stay far inside 64 bits and the
// products of the tempo map too.
constexpr int64_t kMaxTick = int64_t{1} << 40;

uint32_t Be32(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}
int Be16(const uint8_t* p) { return (p[0] << 8) | p[1]; }

struct OpenNote {
  int64_t on;
  uint8_t channel;
  uint8_t key;
  uint8_t velocity;
};

// The notes sounding in a track, per channel and key in the order struck, and which of those
// lists are in use; kept from track to track so that a file of many small tracks costs no
// more than one.
struct OpenNotes {
  std::vector<std::vector<OpenNote>> byKey = std::vector<std::vector<OpenNote>>(16 * 128);
  std::vector<uint8_t> listed = std::vector<uint8_t>(16 * 128);
  std::vector<uint16_t> used;
};

// A key struck this many times without an off ends its first note, so that a list stays short.
constexpr size_t kMaxStrikes = 64;

// The state of reading one track: the cursor inside [begin, end) of the file and what running
// status and open notes mean there.
class TrackReader {
 public:
  TrackReader(const uint8_t* data, size_t begin, size_t end, SmfSong& song, bool firstTrack,
              OpenNotes& open)
      : data_(data), pos_(begin), end_(end), song_(song), firstTrack_(firstTrack), open_(open) {
    rpn_.fill(0x7F7F);
  }

  // Reads every event; false with the fault.
  bool Read(SmfFault* fault) {
    while (pos_ < end_) {
      faultAt_ = pos_;
      uint32_t delta = 0;
      if (!ReadNumber(delta)) {
        return Fail(fault);
      }
      tick_ += delta;
      if (tick_ > kMaxTick) {
        text_ = im::kTooLong;
        return Fail(fault);
      }
      faultAt_ = pos_;
      if (!ReadEvent()) {
        return Fail(fault);
      }
      if (endOfTrack_) {
        break;
      }
    }
    // Notes still sounding when the track ends stop there.
    for (uint16_t index : open_.used) {
      for (const OpenNote& note : open_.byKey[index]) {
        if (!AddNote(note, tick_)) {
          return Fail(fault);
        }
      }
      open_.byKey[index].clear();
      open_.listed[index] = 0;
    }
    open_.used.clear();
    return true;
  }

 private:
  bool Fail(SmfFault* fault) {
    fault->offset = faultAt_;
    fault->text = text_ != nullptr ? text_ : im::kTruncated;
    return false;
  }

  // A variable-length number of at most four bytes.
  bool ReadNumber(uint32_t& value) {
    value = 0;
    for (int k = 0; k < 4; ++k) {
      if (pos_ >= end_) {
        text_ = im::kTruncated;
        return false;
      }
      const uint8_t byte = data_[pos_++];
      value = (value << 7) | (byte & 0x7F);
      if ((byte & 0x80) == 0) {
        return true;
      }
    }
    faultAt_ = pos_ - 4;
    text_ = im::kLongNumber;
    return false;
  }

  bool ReadEvent() {
    if (pos_ >= end_) {
      text_ = im::kTruncated;
      return false;
    }
    uint8_t status = data_[pos_];
    if (status >= 0x80) {
      ++pos_;
    } else if (running_ == 0) {
      text_ = im::kNoStatus;
      return false;
    } else {
      status = running_;
    }
    if (status == 0xFF) {
      return ReadMeta();
    }
    if (status == 0xF0 || status == 0xF7) {
      running_ = 0;
      return Skip();
    }
    if (status >= 0xF0) {
      text_ = im::kBadStatus;
      return false;
    }
    running_ = status;
    const int kind = status >> 4;
    const int count = kind == 0xC || kind == 0xD ? 1 : 2;
    if (end_ - pos_ < static_cast<size_t>(count)) {
      text_ = im::kTruncated;
      return false;
    }
    const uint8_t a = data_[pos_];
    const uint8_t b = count == 2 ? data_[pos_ + 1] : 0;
    if (a > 0x7F || b > 0x7F) {
      faultAt_ = a > 0x7F ? pos_ : pos_ + 1;
      text_ = im::kBadData;
      return false;
    }
    pos_ += count;
    return ChannelMessage(kind, status & 0x0F, a, b);
  }

  // A size and that many bytes, which `body` points at; false when they run past the end.
  bool ReadSized(const uint8_t*& body, uint32_t& size) {
    if (!ReadNumber(size)) {
      return false;
    }
    if (end_ - pos_ < size) {
      text_ = im::kTruncated;
      return false;
    }
    body = data_ + pos_;
    pos_ += size;
    return true;
  }

  // A size and that many bytes, not looked at.
  bool Skip() {
    const uint8_t* body = nullptr;
    uint32_t size = 0;
    return ReadSized(body, size);
  }

  bool ReadMeta() {
    running_ = 0;
    if (pos_ >= end_) {
      text_ = im::kTruncated;
      return false;
    }
    const uint8_t type = data_[pos_++];
    const uint8_t* body = nullptr;
    uint32_t size = 0;
    if (!ReadSized(body, size)) {
      return false;
    }
    if (type == 0x2F) {
      endOfTrack_ = true;
    } else if (type == 0x51 && size >= 3) {
      const uint32_t us = (uint32_t{body[0]} << 16) | (uint32_t{body[1]} << 8) | body[2];
      if (us == 0) {
        text_ = im::kBadTempo;
        return false;
      }
      song_.tempos.push_back({tick_, us});
    } else if (type == 0x58 && size >= 2) {
      // Meters beyond 64 beats of a 2^7 note are read as 4/4: only the layout uses them.
      if (body[0] >= 1 && body[0] <= 64 && body[1] <= 7) {
        song_.meters.push_back({tick_, body[0], body[1]});
      }
    } else if (type == 0x03 && firstTrack_ && song_.title.empty()) {
      song_.title.assign(reinterpret_cast<const char*>(body), std::min<size_t>(size, 256));
    } else if (type == 0x02 && song_.copyright.empty()) {
      song_.copyright.assign(reinterpret_cast<const char*>(body), std::min<size_t>(size, 256));
    }
    return true;
  }

  bool ChannelMessage(int kind, int channel, uint8_t a, uint8_t b) {
    const auto index = static_cast<uint16_t>(channel * 128 + a);
    std::vector<OpenNote>& queue = open_.byKey[index];
    switch (kind) {
      case 0x9:
        if (b != 0) {
          // A key struck again while it sounds starts a second note; offs end them in order.
          if (queue.size() >= kMaxStrikes && !AddNote(PopFront(queue), tick_)) {
            return false;
          }
          if (open_.listed[index] == 0) {
            open_.listed[index] = 1;
            open_.used.push_back(index);
          }
          queue.push_back({tick_, static_cast<uint8_t>(channel), a, b});
          return true;
        }
        [[fallthrough]];
      case 0x8:
        if (!queue.empty()) {
          return AddNote(PopFront(queue), tick_);
        }
        return true;
      case 0xB:
        return Controller(channel, a, b);
      case 0xC:
        return AddControl(channel, SmfControlKind::kProgram, a);
      case 0xE:
        return AddControl(channel, SmfControlKind::kBend, ((b << 7) | a) - 8192);
      default:  // key and channel pressure
        return true;
    }
  }

  static OpenNote PopFront(std::vector<OpenNote>& queue) {
    OpenNote note = queue.front();
    queue.erase(queue.begin());
    return note;
  }

  bool Controller(int channel, uint8_t control, uint8_t value) {
    uint16_t& rpn = rpn_[channel];
    switch (control) {
      case 1:
        return AddControl(channel, SmfControlKind::kModulation, value);
      case 7:
        return AddControl(channel, SmfControlKind::kVolume, value);
      case 10:
        return AddControl(channel, SmfControlKind::kPan, value);
      case 11:
        return AddControl(channel, SmfControlKind::kExpression, value);
      case 101:
        rpn = static_cast<uint16_t>((rpn & 0x7F) | (value << 7));
        return true;
      case 100:
        rpn = static_cast<uint16_t>((rpn & 0x3F80) | value);
        return true;
      case 6:
        return rpn == 0 ? AddControl(channel, SmfControlKind::kBendRange, value) : true;
      default:
        return true;
    }
  }

  bool AddControl(int channel, SmfControlKind kind, int value) {
    if (song_.controls.size() >= kMaxSmfControls) {
      text_ = im::kTooManyControls;
      return false;
    }
    song_.controls.push_back(
        {tick_, static_cast<uint8_t>(channel), kind, static_cast<int16_t>(value)});
    return true;
  }

  bool AddNote(const OpenNote& open, int64_t off) {
    if (song_.notes.size() >= kMaxSmfNotes) {
      text_ = im::kTooManyNotes;
      return false;
    }
    song_.notes.push_back({open.on, off, open.channel, open.key, open.velocity});
    return true;
  }

  const uint8_t* data_;
  size_t pos_;
  size_t end_;
  SmfSong& song_;
  bool firstTrack_;
  int64_t tick_ = 0;
  uint8_t running_ = 0;
  bool endOfTrack_ = false;
  size_t faultAt_ = 0;
  const char* text_ = nullptr;
  OpenNotes& open_;
  std::array<uint16_t, 16> rpn_{};
};

bool Fail(SmfFault* fault, size_t offset, const char* text) {
  fault->offset = offset;
  fault->text = text;
  return false;
}

// The header's division: ticks per quarter, or SMPTE frames per second and ticks per frame.
bool ReadDivision(int division, SmfSong& song) {
  if ((division & 0x8000) == 0) {
    song.ticksPerQuarter = division;
    return division > 0;
  }
  const int frames = 256 - (division >> 8);
  song.ticksPerFrame = division & 0xFF;
  song.framesPerSecond = frames;
  return (frames == 24 || frames == 25 || frames == 29 || frames == 30) && song.ticksPerFrame > 0;
}

}  // namespace

bool ReadSmf(const uint8_t* data, size_t size, SmfSong* song, SmfFault* fault) {
  *song = SmfSong{};
  if (size < 8 || Be32(data) != 0x4D546864) {  // "MThd"
    return Fail(fault, 0, im::kNotMidi);
  }
  const uint32_t headerSize = Be32(data + 4);
  if (headerSize < 6) {
    return Fail(fault, 4, im::kBadHeader);
  }
  if (size - 8 < headerSize) {
    return Fail(fault, size, im::kTruncated);
  }
  song->format = Be16(data + 8);
  if (song->format == 2) {
    return Fail(fault, 8, im::kFormat2);
  }
  if (song->format > 2) {
    return Fail(fault, 8, im::kBadFormat);
  }
  const int trackCount = Be16(data + 10);
  if (!ReadDivision(Be16(data + 12), *song)) {
    return Fail(fault, 12, im::kBadDivision);
  }
  size_t pos = 8 + size_t{headerSize};
  int tracksRead = 0;
  OpenNotes open;
  while (tracksRead < trackCount) {
    if (size - pos < 8) {
      return Fail(fault, pos, pos == size ? im::kNoTrack : im::kTruncated);
    }
    const uint32_t chunkSize = Be32(data + pos + 4);
    const bool track = Be32(data + pos) == 0x4D54726B;  // "MTrk"
    if (size - pos - 8 < chunkSize) {
      return Fail(fault, pos + 4, im::kTruncated);
    }
    if (track) {
      TrackReader reader(data, pos + 8, pos + 8 + chunkSize, *song, tracksRead == 0, open);
      if (!reader.Read(fault)) {
        return false;
      }
      ++tracksRead;
    }
    pos += 8 + size_t{chunkSize};
  }
  // Tracks were read one after another: bring the controls, tempos and meters of all of them
  // into time order, keeping the order of one time.
  auto byTick = [](const auto& a, const auto& b) { return a.tick < b.tick; };
  std::stable_sort(song->controls.begin(), song->controls.end(), byTick);
  std::stable_sort(song->tempos.begin(), song->tempos.end(), byTick);
  std::stable_sort(song->meters.begin(), song->meters.end(), byTick);
  return true;
}
