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
//   CRC (2 bytes), 1D 0F (trailer; the job may drop it)

#include <algorithm>
#include <array>
#include <string>
#include <string_view>
#include <utility>

#include "core/messages.h"
#include "core/mmf_layout.h"
#include "core/sjis.h"
#include "mmf/chunk_sizes.h"
#include "mmf/crc.h"
#include "mmf/mmf_image.h"
#include "mmf/track_encoder.h"
#include "mmf/wave_files.h"

namespace {

namespace mm = messages::mmf;

// What the writer puts together.
struct ImageSources {
  const SplitScore& score;
  const CompiledTracks& tracks;
  const SetupChunk& setup;
};

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
bool WriteEvents(const ImageSources& in, Bytes& image, const EventList& events, int trackIndex,
                 int64_t startTime, const uint8_t* usedSlots) {
  // Runs of events with short deltas are written in one go, and the cap is checked after each:
  // the writing passes it by 11 KiB at most before it stops.
  constexpr size_t kRunEvents = 256;
  const TrackEncoding encoding{in.score.format, trackIndex, in.setup.voiceSlotOf,
                               in.setup.voiceSlotUse, usedSlots};
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
void AppendScoreTrackHeader(const ImageSources& in, Bytes& image) {
  AppendU8(image, 0x00);
  AppendU8(image, 0x00);
  AppendU8(image, in.score.voices.durationBase);
  AppendU8(image, in.score.voices.gateBase);
  AppendU8(image, 0x00);
  AppendU8(image, 0x00);
}

bool WriteMa1Track(const ImageSources& in, Bytes& image, std::vector<size_t>& offsets) {
  if (in.tracks.trackEvents[0].empty()) {
    return true;
  }
  BeginChunk(image, offsets, TrackTag(mmf::kScoreTrackTag, 0));
  AppendScoreTrackHeader(in, image);
  if (!in.setup.bytes.empty()) {
    AppendChunk(image, offsets, in.setup.bytes);
  }
  BeginChunk(image, offsets, mmf::kSequenceTag);
  std::array<uint8_t, 10> opening = kMa1Opening;
  opening[kMa1OpeningValueIndex] = in.score.voices.exclusiveParam;
  image.insert(image.end(), opening.begin(), opening.end());
  return WriteEvents(in, image, in.tracks.trackEvents[0], 0, 0, &in.tracks.partUsed[0]);
}

// Whether each of the four slots of score track `t` played.
const uint8_t* UsedSlotsOf(const ImageSources& in, int t) {
  return in.tracks.partUsed.data() + ptrdiff_t{4} * t;
}

// Whether score track `t` is written: it has events and one of its slots played.
bool WritesScoreTrack(const ImageSources& in, int t) {
  const uint8_t* used = UsedSlotsOf(in, t);
  return !in.tracks.trackEvents[t].empty() && (used[0] || used[1] || used[2] || used[3]);
}

// Score tracks 1-4; a track is left out when it has no events or none of its slots played.
// With an A part every score track starts two ticks late, after the audio track's start.
bool WriteMa2ScoreTracks(const ImageSources& in, Bytes& image, std::vector<size_t>& offsets) {
  bool setupWritten = false;
  int startTime = in.tracks.partUsed[kAdpcmSlot] ? -2 : 0;
  for (int t = 0; t < 4; ++t) {
    if (!WritesScoreTrack(in, t)) {
      continue;
    }
    BeginChunk(image, offsets, TrackTag(mmf::kScoreTrackTag, t + 1));
    AppendScoreTrackHeader(in, image);
    if (!setupWritten && !in.setup.bytes.empty()) {
      AppendChunk(image, offsets, in.setup.bytes);
      setupWritten = true;
    }
    BeginChunk(image, offsets, mmf::kSequenceTag);
    if (!WriteEvents(in, image, in.tracks.trackEvents[t], t, startTime, UsedSlotsOf(in, t))) {
      return false;
    }
  }
  return true;
}

// The audio track: header, the A part's events (two ticks ahead of the score tracks), then
// the bytes of every wave the part played, unchanged. Fails with the message of a wave that
// cannot be read, or of an image past the cap.
bool WriteAudioTrack(const ImageSources& in, Bytes& image, std::vector<size_t>& offsets,
                     const std::array<std::string, kWaveSlots>& wavePaths, std::string& fault) {
  BeginChunk(image, offsets, TrackTag(mmf::kAudioTrackTag, 0));
  AppendU8(image, 0x00);
  AppendU8(image, 0x00);
  AppendU8(image, in.score.waves.waveType);
  AppendU8(image, 0x00);
  AppendU8(image, in.score.voices.durationBase);
  AppendU8(image, in.score.voices.gateBase);
  BeginChunk(image, offsets, mmf::kAudioSequenceTag);
  if (!WriteEvents(in, image, in.tracks.adpcmEvents, 0, -2, nullptr)) {
    fault = Sjis(mm::kDataTooLarge);
    return false;
  }
  for (int k = 0; k < kWaveSlots; ++k) {
    if (in.tracks.waveUsed[k] != 1) {
      continue;
    }
    Bytes wave;
    if (!ReadWaveFile(wavePaths[k], wave, kMaxImageBytes)) {
      fault = Sjis(mm::kWaveOpenFailed);
      return false;
    }
    if (wave.size() + 8 > kMaxImageBytes - image.size()) {
      fault = Sjis(mm::kDataTooLarge);
      return false;
    }
    BeginChunk(image, offsets, TrackTag(mmf::kWaveTag, k + 1));
    Append(image, wave);
  }
  return true;
}

}  // namespace

StageResult<Bytes> BuildMmf(const SplitScore& score, const CompiledTracks& tracks,
                            const SetupChunk& setup, const std::string& sourcePath) {
  auto fail = [](std::string message) { return CompileFault{std::move(message), {}}; };
  const ImageSources in{score, tracks, setup};
  Bytes image;
  std::vector<size_t> chunkOffsets;
  size_t events = tracks.adpcmEvents.size();
  for (const EventList& track : tracks.trackEvents) {
    events += track.size();
  }
  // Room for every event up front, so the image is never copied as it grows; room not written
  // is never touched. The setup chunk and the contents come on top. An image at the cap has
  // room for one more event, the one that may carry it past the cap before it is measured.
  image.reserve(std::min(kInitialCapacity + setup.bytes.size() + score.contentsOptions.size() +
                             events * kMaxEventBytes,
                         kMaxImageBytes + kMaxEventBytes));

  bool anyUsed = false;
  for (uint8_t used : tracks.partUsed) {
    anyUsed = anyUsed || used != 0;
  }
  if (!anyUsed) {
    return fail(Sjis(mm::kNoNoteData));
  }

  // Find every wave the A part played before writing anything.
  std::array<std::string, kWaveSlots> wavePaths;
  if (tracks.partUsed[kAdpcmSlot]) {
    for (int k = 0; k < kWaveSlots; ++k) {
      if (tracks.waveUsed[k] == 1 &&
          !ResolveWaveFile(score.waves.fileName[k], sourcePath, wavePaths[k])) {
        return fail(Sjis(mm::kWaveNotFoundHead) + score.waves.fileName[k] +
                    Sjis(mm::kWaveNotFoundTail));
      }
    }
    // The waves alone must fit in the image; they are measured, not read.
    uint64_t waveBytes = 0;
    for (int k = 0; k < kWaveSlots; ++k) {
      uint64_t size = 0;
      if (tracks.waveUsed[k] == 1 && !WaveFileSize(wavePaths[k], size)) {
        return fail(Sjis(mm::kWaveOpenFailed));
      }
      waveBytes += size;
    }
    if (waveBytes > kMaxImageBytes) {
      return fail(Sjis(mm::kDataTooLarge));
    }
  }

  Append(image, mmf::kFileTag);
  AppendBe32(image, 0);
  BeginChunk(image, chunkOffsets, mmf::kContentsTag);
  AppendU8(image, 0x00);
  AppendU8(image, 0x00);
  AppendU8(image, 0x00);
  AppendU8(image, score.voices.contentsStatus);
  AppendU8(image, 0x00);
  Append(image, score.contentsOptions);

  if (score.format == kFormatMa1) {
    if (!WriteMa1Track(in, image, chunkOffsets)) {
      return fail(Sjis(mm::kDataTooLarge));
    }
  } else {
    if (!WriteMa2ScoreTracks(in, image, chunkOffsets)) {
      return fail(Sjis(mm::kDataTooLarge));
    }
    std::string fault;
    if (tracks.partUsed[kAdpcmSlot] &&
        !WriteAudioTrack(in, image, chunkOffsets, wavePaths, fault)) {
      return fail(std::move(fault));
    }
  }
  if (image.size() + kImageTailBytes > kMaxImageBytes) {
    return fail(Sjis(mm::kDataTooLarge));
  }

  AppendBe16(image, 0x0000);  // the CRC's place
  AppendBe16(image, 0x1D0F);  // trailer
  FixChunkSizes(image, chunkOffsets);
  const uint16_t crc = ComputeCrc(image, 0xFFFF);
  const size_t n = image.size();
  image[n - 4] = static_cast<uint8_t>(crc >> 8);
  image[n - 3] = static_cast<uint8_t>(crc & 0xFF);
  return image;
}
