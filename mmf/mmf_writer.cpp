// The output image, all numbers big-endian. A chunk is a 4-byte tag, a 4-byte size (the
// number of body bytes after these 8) and its body. The writer leaves every size 0 and
// records where each chunk starts; FixChunkSizes fills the sizes afterwards.
//
//   "MMMD" size                      the whole file after these 8 bytes, CRC included
//     "CNTI" size 00 00 00 s 00      s = contents status, then the contents option bytes
//     "MTR" t size                   score track: t = 0 (MA1) or 1-4 (MA2 tracks 0-3)
//       00 00 d g 00 00              d, g = timebase codes of delta and gate times
//       "Mtsu" size ...              setup chunk (MA1; MA2 in the first track written)
//       "Mtsq" size events 00000000  sequence data
//     "ATR" 00 size                  audio track (MA2, when the A part played)
//       00 00 w 00 d g               w = wave type
//       "Atsq" size events 00000000
//       "Awa" k size bytes           wave data of each wave slot k (1-10) the part played
//   CRC (2 bytes, 00 00 until the job stores it), 1D 0F (trailer; the job may drop it)

#include <algorithm>
#include <array>
#include <string>
#include <string_view>
#include <utility>

#include "core/compiler.h"
#include "core/messages.h"
#include "core/mmf_layout.h"
#include "core/sjis.h"
#include "mmf/track_encoder.h"
#include "mmf/wave_files.h"

namespace {

namespace mm = messages::mmf;

// What stands after the last track: the CRC and the trailer.
constexpr size_t kImageTailBytes = 4;

constexpr size_t kInitialCapacity = 20480;
// The most bytes one event takes, short of a delta longer than 16511 ticks: its message and a
// delta of up to two bytes.
constexpr size_t kMaxEventBytes = kMaxMessageBytes + 2;

// The fixed opening event of the MA1 score track; its ninth byte is the exclusive value.
constexpr std::array<uint8_t, 10> kMa1Opening = {0x00, 0xFF, 0xF0, 0x06, 0x43,
                                                 0x01, 0x80, 0x31, 0x10, 0xF7};
constexpr size_t kMa1OpeningValueIndex = 8;

// Appends an 8-byte chunk header with size 0 and records where the chunk starts.
void BeginChunk(Bytes& image, std::vector<size_t>& offsets, std::string_view tag) {
  offsets.push_back(image.size());
  Append(image, tag);
  AppendBe32(image, 0);
}

std::string TrackTag(std::string_view prefix, int number) {
  std::string tag(prefix);
  tag += static_cast<char>(number);
  return tag;
}

// Copies a finished chunk (the setup chunk) and records where it starts.
void AppendChunk(Bytes& image, std::vector<size_t>& offsets, const Bytes& chunk) {
  offsets.push_back(image.size());
  Append(image, chunk);
}

// Writes the bytes of one track through a pointer into room made at the end of the image a
// stretch at a time, instead of appending them one by one. The image's size runs ahead of the
// bytes written until Finish().
class TrackBytes {
 public:
  explicit TrackBytes(Bytes& image)
      : image_(image), out_(image.data() + image.size()), end_(out_) {}
  // The image's length up to the end of what is written.
  size_t written() const { return static_cast<size_t>(out_ - image_.data()); }
  // Where the next `bytes` may be written.
  uint8_t* Room(size_t bytes) {
    if (static_cast<size_t>(end_ - out_) < bytes) {
      Grow(bytes);
    }
    return out_;
  }
  void Advance(uint8_t* end) { out_ = end; }
  void Finish() { image_.resize(written()); }

 private:
  // Room is made a stretch at a time, within the capacity the image was reserved with where it
  // suffices: each stretch is cleared once by resize, which costs little beside writing it.
  static constexpr size_t kStretch = 65536;
  void Grow(size_t bytes) {
    const size_t at = written();
    const size_t want = at + std::max(bytes, kStretch);
    image_.resize(std::max(at + bytes, std::min(want, image_.capacity())));
    out_ = image_.data() + at;
    end_ = image_.data() + image_.size();
  }

  Bytes& image_;
  uint8_t* out_;
  uint8_t* end_;
};

// Writes the events of one track (in track order) and the sequence end. With `usedSlots` set,
// an event is kept only when the slot of its channel (usedSlots[channel]) produced a note; a
// skipped event does not move the previous time, so its time folds into the next kept delta.
// False once the image passes the cap; a huge delta is measured before it is written.
bool WriteEvents(const CMmlCompiler& compiler, Bytes& image, const EventList& events,
                 int trackIndex, int64_t startTime, const uint8_t* usedSlots) {
  // Runs of events with short deltas are written in one go, and the cap is checked after each:
  // the writing passes it by 11 KiB at most before it stops.
  constexpr size_t kRunEvents = 256;
  const TrackEncoding encoding{compiler.m_format, trackIndex, compiler.m_voiceSlotOf,
                               compiler.m_voiceSlotUse, usedSlots};
  TrackEncoderState state;
  TrackBytes track(image);
  int64_t previous = startTime;
  for (EventList::Iterator at = events.begin(), end = events.end(); at != end;) {
    uint8_t* out = track.Room(kRunEvents * kMaxEventBytes);
    track.Advance(WriteEventRun(at, end, kRunEvents, out, previous, encoding, state));
    if (track.written() > kMaxImageBytes) {
      track.Finish();
      return false;
    }
    if (at == end || !KeepsEvent(encoding, *at) || at->time - previous <= kMaxTimeValue) {
      continue;  // the run ended after its count or at the end, not at a long delta
    }
    const int64_t delta = at->time - previous;
    const uint64_t deltaBytes = EncodedDeltaSize(delta);
    if (deltaBytes > kMaxImageBytes - track.written()) {
      track.Finish();
      return false;
    }
    out = WriteDelta(track.Room(deltaBytes + kMaxMessageBytes), delta);
    track.Advance(WriteEvent(*at, out, encoding.format, encoding.trackIndex, encoding.voiceSlotOf,
                             encoding.voiceSlotUse, state));
    if (track.written() > kMaxImageBytes) {
      track.Finish();
      return false;
    }
    previous = at->time;
    ++at;
  }
  track.Finish();
  AppendBe32(image, 0);
  return image.size() <= kMaxImageBytes;
}

// The six bytes after a score track's chunk header.
void AppendScoreTrackHeader(const CMmlCompiler& compiler, Bytes& image) {
  AppendU8(image, 0x00);
  AppendU8(image, 0x00);
  AppendU8(image, compiler.m_durationBase);
  AppendU8(image, compiler.m_gateBase);
  AppendU8(image, 0x00);
  AppendU8(image, 0x00);
}

bool WriteMa1Track(const CMmlCompiler& compiler, Bytes& image, std::vector<size_t>& offsets) {
  if (compiler.m_trackEvents[0].empty()) {
    return true;
  }
  BeginChunk(image, offsets, TrackTag(mmf::kScoreTrackTag, 0));
  AppendScoreTrackHeader(compiler, image);
  if (!compiler.m_setupChunk.empty()) {
    AppendChunk(image, offsets, compiler.m_setupChunk);
  }
  BeginChunk(image, offsets, mmf::kSequenceTag);
  std::array<uint8_t, 10> opening = kMa1Opening;
  opening[kMa1OpeningValueIndex] = compiler.m_exclusiveParam;
  image.insert(image.end(), opening.begin(), opening.end());
  return WriteEvents(compiler, image, compiler.m_trackEvents[0], 0, 0, &compiler.m_partUsed[0]);
}

// Whether each of the four slots of score track `t` played.
const uint8_t* UsedSlotsOf(const CMmlCompiler& compiler, int t) {
  return compiler.m_partUsed.data() + ptrdiff_t{4} * t;
}

// Whether score track `t` is written: it has events and one of its slots played.
bool WritesScoreTrack(const CMmlCompiler& compiler, int t) {
  const uint8_t* used = UsedSlotsOf(compiler, t);
  return !compiler.m_trackEvents[t].empty() && (used[0] || used[1] || used[2] || used[3]);
}

// Score tracks 1-4; a track is left out when it has no events or none of its slots played.
// With an A part every score track starts two ticks late, after the audio track's start.
bool WriteMa2ScoreTracks(const CMmlCompiler& compiler, Bytes& image, std::vector<size_t>& offsets) {
  bool setupWritten = false;
  int startTime = compiler.m_partUsed[kAdpcmSlot] ? -2 : 0;
  for (int t = 0; t < 4; ++t) {
    if (!WritesScoreTrack(compiler, t)) {
      continue;
    }
    BeginChunk(image, offsets, TrackTag(mmf::kScoreTrackTag, t + 1));
    AppendScoreTrackHeader(compiler, image);
    if (!setupWritten && !compiler.m_setupChunk.empty()) {
      AppendChunk(image, offsets, compiler.m_setupChunk);
      setupWritten = true;
    }
    BeginChunk(image, offsets, mmf::kSequenceTag);
    if (!WriteEvents(compiler, image, compiler.m_trackEvents[t], t, startTime,
                     UsedSlotsOf(compiler, t))) {
      return false;
    }
  }
  return true;
}

// The audio track: header, the A part's events (two ticks ahead of the score tracks), then
// the bytes of every wave the part played, unchanged. Fails with the message of a wave that
// cannot be read, or of an image past the cap.
bool WriteAudioTrack(CMmlCompiler& compiler, Bytes& image, std::vector<size_t>& offsets,
                     const std::array<std::string, kWaveSlots>& wavePaths) {
  BeginChunk(image, offsets, TrackTag(mmf::kAudioTrackTag, 0));
  AppendU8(image, 0x00);
  AppendU8(image, 0x00);
  AppendU8(image, compiler.m_waveType);
  AppendU8(image, 0x00);
  AppendU8(image, compiler.m_durationBase);
  AppendU8(image, compiler.m_gateBase);
  BeginChunk(image, offsets, mmf::kAudioSequenceTag);
  if (!WriteEvents(compiler, image, compiler.m_adpcmEvents, 0, -2, nullptr)) {
    return compiler.Fail(Sjis(mm::kDataTooLarge));
  }
  for (int k = 0; k < kWaveSlots; ++k) {
    if (compiler.m_adpcmFileUsed[k] != 1) {
      continue;
    }
    Bytes wave;
    if (!ReadWaveFile(wavePaths[k], wave, kMaxImageBytes)) {
      return compiler.Fail(Sjis(mm::kWaveOpenFailed));
    }
    if (wave.size() + 8 > kMaxImageBytes - image.size()) {
      return compiler.Fail(Sjis(mm::kDataTooLarge));
    }
    BeginChunk(image, offsets, TrackTag(mmf::kWaveTag, k + 1));
    Append(image, wave);
  }
  return true;
}

}  // namespace

bool CMmlCompiler::BuildMmf(Bytes& image, const std::string& sourcePath) {
  image.clear();
  m_chunkOffsets.clear();
  size_t events = m_adpcmEvents.size();
  for (EventList& track : m_trackEvents) {
    track.Sort();
    events += track.size();
  }
  m_adpcmEvents.Sort();
  // Room for every event up front, so the image is never copied as it grows; room not written
  // is never touched. The setup chunk and the contents come on top. An image at the cap has
  // room for one more event, the one that may carry it past the cap before it is measured.
  image.reserve(std::min(
      kInitialCapacity + m_setupChunk.size() + m_contentsOptions.size() + events * kMaxEventBytes,
      kMaxImageBytes + kMaxEventBytes));

  bool anyUsed = false;
  for (uint8_t used : m_partUsed) {
    anyUsed = anyUsed || used != 0;
  }
  if (!anyUsed) {
    return Fail(Sjis(mm::kNoNoteData));
  }

  // Find every wave the A part played before writing anything.
  std::array<std::string, kWaveSlots> wavePaths;
  if (m_partUsed[kAdpcmSlot]) {
    for (int k = 0; k < kWaveSlots; ++k) {
      if (m_adpcmFileUsed[k] == 1 &&
          !ResolveWaveFile(m_adpcmFileName[k], sourcePath, wavePaths[k])) {
        return Fail(Sjis(mm::kWaveNotFoundHead) + m_adpcmFileName[k] + Sjis(mm::kWaveNotFoundTail));
      }
    }
    // The waves alone must fit in the image; they are measured, not read.
    uint64_t waveBytes = 0;
    for (int k = 0; k < kWaveSlots; ++k) {
      uint64_t size = 0;
      if (m_adpcmFileUsed[k] == 1 && !WaveFileSize(wavePaths[k], size)) {
        return Fail(Sjis(mm::kWaveOpenFailed));
      }
      waveBytes += size;
    }
    if (waveBytes > kMaxImageBytes) {
      return Fail(Sjis(mm::kDataTooLarge));
    }
  }

  Append(image, mmf::kFileTag);
  AppendBe32(image, 0);
  BeginChunk(image, m_chunkOffsets, mmf::kContentsTag);
  AppendU8(image, 0x00);
  AppendU8(image, 0x00);
  AppendU8(image, 0x00);
  AppendU8(image, m_contentsStatus);
  AppendU8(image, 0x00);
  Append(image, m_contentsOptions);

  if (m_format == kFormatMa1) {
    if (!WriteMa1Track(*this, image, m_chunkOffsets)) {
      return Fail(Sjis(mm::kDataTooLarge));
    }
  } else {
    if (!WriteMa2ScoreTracks(*this, image, m_chunkOffsets)) {
      return Fail(Sjis(mm::kDataTooLarge));
    }
    if (m_partUsed[kAdpcmSlot] && !WriteAudioTrack(*this, image, m_chunkOffsets, wavePaths)) {
      return false;
    }
  }
  if (image.size() + kImageTailBytes > kMaxImageBytes) {
    return Fail(Sjis(mm::kDataTooLarge));
  }

  AppendBe16(image, 0x0000);  // CRC placeholder
  AppendBe16(image, 0x1D0F);  // trailer
  return true;
}
