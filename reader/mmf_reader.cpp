// The file walk: the "MMMD" header and its size, the chunks inside it, and the CRC with the
// optional trailer at the end. Every size field is checked against the bytes that are really
// there before anything inside its chunk is read; a chunk that claims more is read up to the
// end of what holds it.

#include "reader/mmf_reader.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "core/crc16.h"
#include "core/mmf_layout.h"
#include "reader/contents_reader.h"
#include "reader/read_context.h"
#include "reader/sequence_reader.h"
#include "reader/setup_reader.h"

namespace {

constexpr size_t kLargestFile = UINT32_MAX;

class FileReader {
 public:
  FileReader(const uint8_t* data, size_t size, bool keepEvents, MmfFile& file) : file_(file) {
    c_.data = data;
    c_.size = size;
    c_.keepEvents = keepEvents;
    c_.findings = &file.findings;
    c_.exclusiveBytes = &file.exclusiveBytes;
    file.fileSize = size;
  }

  void Run() {
    if (c_.size < mmf::kChunkHeaderSize || !c_.TagAt(0, c_.size, mmf::kFileTag)) {
      file_.supported = false;
      c_.Add(FindingKind::kNotMmf, 0, "the file does not start with \"MMMD\" and its size");
      return;
    }
    file_.declaredSize = c_.Be32(4);
    if (c_.size > kLargestFile) {
      // The size field counts less than 4 GiB, and the model keeps offsets in 32 bits.
      file_.supported = false;
      c_.Add(FindingKind::kNotSupported, 0,
             "a file of 4 GiB or more: larger than any .MMF file, not read");
      return;
    }
    size_t dataEnd = FindCrc();
    size_t present = c_.size - mmf::kChunkHeaderSize;
    AddChunk(0, file_.declaredSize, std::min<size_t>(present, file_.declaredSize), 0);
    ReadChunks(mmf::kChunkHeaderSize, dataEnd);
    CheckCrc(dataEnd);
  }

 private:
  // Where the chunks end and the CRC starts: after the chunks that the size field promises,
  // the CRC and perhaps the trailer follow. When the size field does not fit the file, the
  // CRC is taken where the trailer (or the end of the file) puts it.
  size_t FindCrc() {
    const size_t size = c_.size;
    const uint64_t promised = uint64_t{mmf::kChunkHeaderSize} + file_.declaredSize;
    bool trailerAtEnd = size >= mmf::kChunkHeaderSize + 4 &&
                        c_.data[size - 2] == mmf::kEzgetTrailer[0] &&
                        c_.data[size - 1] == mmf::kEzgetTrailer[1];
    if (promised == size && size >= mmf::kChunkHeaderSize + mmf::kCrcSize) {
      file_.hasCrc = true;
      return size - mmf::kCrcSize;
    }
    if (trailerAtEnd && promised + 2 == size) {
      file_.hasCrc = true;
      file_.ezget = true;
      return size - 4;
    }
    c_.Add(FindingKind::kSizeMismatch, 4,
           "file size field says " + std::to_string(file_.declaredSize) +
               " bytes after the header, " + std::to_string(size - mmf::kChunkHeaderSize) +
               " are there" + (trailerAtEnd ? " (with the trailer 1D 0F)" : ""));
    if (trailerAtEnd) {
      file_.hasCrc = true;
      file_.ezget = true;
      return size - 4;
    }
    if (size >= mmf::kChunkHeaderSize + mmf::kCrcSize) {
      file_.hasCrc = true;
      return size - mmf::kCrcSize;
    }
    return size;
  }

  void CheckCrc(size_t crcAt) {
    if (!file_.hasCrc) {
      return;
    }
    file_.storedCrc = static_cast<uint16_t>(c_.data[crcAt] << 8 | c_.data[crcAt + 1]);
    file_.computedCrc = Crc16(c_.data, crcAt, mmf::kCrcInitial);
    if (file_.storedCrc != file_.computedCrc) {
      c_.Add(FindingKind::kCrcMismatch, crcAt,
             "stored CRC " + Hex(file_.storedCrc, 4) + ", the bytes give " +
                 Hex(file_.computedCrc, 4));
    }
  }

  void AddChunk(size_t offset, uint32_t declared, size_t body, int depth) {
    file_.chunks.push_back(
        MmfChunk{PrintableTag(c_.data + offset, 4), offset, declared, body, depth});
  }

  // The next chunk header at `at` inside [.., end): false when fewer than 8 bytes are left.
  // A size beyond `end` is a finding and the body is cut to `end`.
  bool NextChunk(size_t at, size_t end, int depth, ChunkSpan& span) {
    if (end - at < mmf::kChunkHeaderSize) {
      c_.Add(FindingKind::kTruncated, at,
             std::to_string(end - at) + " bytes left, too few for a chunk header");
      return false;
    }
    uint32_t declared = c_.Be32(at + 4);
    span.offset = at;
    span.bodyStart = at + mmf::kChunkHeaderSize;
    span.bodyEnd = span.bodyStart + declared;
    if (declared > end - span.bodyStart) {
      c_.Add(FindingKind::kSizeMismatch, at + 4,
             "chunk \"" + PrintableTag(c_.data + at, 4) + "\" says " + std::to_string(declared) +
                 " bytes, " + std::to_string(end - span.bodyStart) + " are left");
      span.bodyEnd = end;
    }
    AddChunk(at, declared, span.bodyEnd - span.bodyStart, depth);
    return true;
  }

  bool KnownTopTag(size_t at, size_t end) const {
    return c_.TagAt(at, end, mmf::kContentsTag) ||
           (c_.TagAt(at, end, mmf::kScoreTrackTag) && end - at > 3 &&
            c_.data[at + 3] <= mmf::kLastMa2TrackNumber) ||
           (c_.TagAt(at, end, mmf::kAudioTrackTag) && end - at > 3 && c_.data[at + 3] == 0);
  }

  // Four letters or digits: a chunk of a kind this reader does not know, skipped by its size.
  bool LooksLikeTag(size_t at, size_t end) const {
    if (end - at < 4) {
      return false;
    }
    for (size_t i = at; i < at + 4; ++i) {
      uint8_t b = c_.data[i];
      if (!((b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z'))) {
        return false;
      }
    }
    return true;
  }

  // No tag where the previous chunk's size says the next chunk starts: when a known chunk
  // starts elsewhere after the previous chunk's header, that size disagrees with the
  // structure and reading goes on at that chunk.
  // A search that found nothing has seen that no known chunk starts from there to the end:
  // later searches stop there, so a run of chunks that all disagree costs one pass, not one
  // pass each.
  bool Resync(size_t& at, size_t end, size_t previous) {
    const size_t from = previous + mmf::kChunkHeaderSize;
    for (size_t next = from; next + mmf::kChunkHeaderSize <= end && next < noTopTagFrom_; ++next) {
      if (next != at && MayStartTopTag(c_.data[next]) && KnownTopTag(next, end)) {
        c_.Add(FindingKind::kSizeMismatch, previous + 4,
               "chunk \"" + PrintableTag(c_.data + previous, 4) + "\" ends at " + Hex(at, 4) +
                   ", the next chunk starts at " + Hex(next, 4));
        at = next;
        return true;
      }
    }
    noTopTagFrom_ = std::min(noTopTagFrom_, from);
    return false;
  }

  // The first letters of the chunks KnownTopTag accepts: most bytes are ruled out by one look.
  static bool MayStartTopTag(uint8_t b) {
    return b == mmf::kContentsTag[0] || b == mmf::kScoreTrackTag[0] || b == mmf::kAudioTrackTag[0];
  }

  void ReadChunks(size_t start, size_t end) {
    size_t at = start;
    size_t previous = 0;
    while (at < end) {
      if (at != start && !KnownTopTag(at, end) && !LooksLikeTag(at, end) &&
          Resync(at, end, previous)) {
        continue;
      }
      previous = at;
      ChunkSpan span;
      if (!NextChunk(at, end, 1, span)) {
        return;
      }
      if (c_.TagAt(at, end, mmf::kContentsTag)) {
        ReadContents(c_, at, span.bodyStart, span.bodyEnd, file_.contents);
      } else if (c_.TagAt(at, end, mmf::kScoreTrackTag)) {
        ReadScoreTrack(span);
      } else if (c_.TagAt(at, end, mmf::kAudioTrackTag) && c_.data[at + 3] == 0) {
        ReadAudioTrack(span);
      } else {
        c_.Add(FindingKind::kUnknownTag, at,
               "unknown chunk \"" + PrintableTag(c_.data + at, 4) + "\"");
      }
      at = span.bodyEnd;
    }
  }

  // The six header bytes of a track; false when the chunk is too short for them.
  bool ReadTrackHeader(const ChunkSpan& span, uint8_t* header) {
    if (span.bodyEnd - span.bodyStart < mmf::kTrackHeaderSize) {
      c_.Add(FindingKind::kTruncated, span.bodyStart, "track chunk shorter than its header");
      return false;
    }
    for (size_t i = 0; i < mmf::kTrackHeaderSize; ++i) {
      header[i] = c_.data[span.bodyStart + i];
    }
    if (header[mmf::kFormatTypeAt] != 0 || header[mmf::kSequenceTypeAt] != 0) {
      file_.supported = false;
      c_.Add(FindingKind::kNotSupported, span.bodyStart,
             "track format " + Hex(header[mmf::kFormatTypeAt]) + ", sequence type " +
                 Hex(header[mmf::kSequenceTypeAt]) +
                 ": a kind of .MMF file this reader does not read");
      return false;
    }
    return true;
  }

  int Timebase(int code, size_t at) {
    int ms = mmf::TimebaseMs(code);
    if (ms == 0) {
      c_.Add(FindingKind::kBadTimebase, at,
             "timebase code " + Hex(code) + " is none of 0-3, 10-13");
    }
    return ms;
  }

  void SetFormat(int number, size_t at) {
    MmfFormat format = number == mmf::kMa1TrackNumber ? MmfFormat::kMa1 : MmfFormat::kMa2;
    if (number > mmf::kLastMa2TrackNumber) {
      file_.supported = false;
      c_.Add(FindingKind::kNotSupported, at,
             "score track " + std::to_string(number) + ": a later chip's layout");
      return;
    }
    if (file_.format != MmfFormat::kUnknown && file_.format != format) {
      c_.Add(FindingKind::kBadValue, at, "MA1 and MA2 score tracks in one file");
    }
    file_.format = format;
  }

  void ReadScoreTrack(const ChunkSpan& span) {
    ScoreTrack track;
    track.offset = span.offset;
    track.number = c_.data[span.offset + 3];
    SetFormat(track.number, span.offset + 3);
    if (track.number > mmf::kLastMa2TrackNumber || !ReadTrackHeader(span, track.header)) {
      ListSubChunks(span);
      return;
    }
    size_t headerAt = span.bodyStart;
    track.durationCode = track.header[mmf::kScoreDurationBaseAt];
    track.gateCode = track.header[mmf::kScoreGateBaseAt];
    track.durationMs = Timebase(track.durationCode, headerAt + mmf::kScoreDurationBaseAt);
    track.gateMs = Timebase(track.gateCode, headerAt + mmf::kScoreGateBaseAt);
    SequenceSettings settings;
    settings.ma1 = track.number == mmf::kMa1TrackNumber;
    settings.trackNumber = track.number;
    settings.durationMs = track.durationMs;
    settings.gateMs = track.gateMs;
    size_t at = span.bodyStart + mmf::kTrackHeaderSize;
    while (at < span.bodyEnd) {
      ChunkSpan sub;
      if (!NextChunk(at, span.bodyEnd, 2, sub)) {
        break;
      }
      if (c_.TagAt(at, span.bodyEnd, mmf::kSetupTag)) {
        ReadSetup(c_, sub.bodyStart, sub.bodyEnd, track);
      } else if (c_.TagAt(at, span.bodyEnd, mmf::kSequenceTag)) {
        ReadSequence(c_, sub.bodyStart, sub.bodyEnd, settings, track.events);
      } else if (!c_.TagAt(at, span.bodyEnd, mmf::kScoreSeekTag)) {
        UnknownSubChunk(at);
      }
      at = sub.bodyEnd;
    }
    file_.tracks.push_back(std::move(track));
  }

  void ReadAudioTrack(const ChunkSpan& span) {
    if (file_.hasAudio) {
      c_.Add(FindingKind::kBadValue, span.offset, "a second audio track");
    }
    AudioTrack& audio = file_.audio;
    audio = AudioTrack{};
    file_.hasAudio = true;
    audio.offset = span.offset;
    if (!ReadTrackHeader(span, audio.header)) {
      ListSubChunks(span);
      return;
    }
    size_t headerAt = span.bodyStart;
    DecodeWaveType(audio, headerAt + mmf::kWaveTypeAt);
    audio.durationCode = audio.header[mmf::kAudioDurationBaseAt];
    audio.gateCode = audio.header[mmf::kAudioGateBaseAt];
    audio.durationMs = Timebase(audio.durationCode, headerAt + mmf::kAudioDurationBaseAt);
    audio.gateMs = Timebase(audio.gateCode, headerAt + mmf::kAudioGateBaseAt);
    SequenceSettings settings;
    settings.audio = true;
    settings.durationMs = audio.durationMs;
    settings.gateMs = audio.gateMs;
    size_t at = span.bodyStart + mmf::kTrackHeaderSize;
    while (at < span.bodyEnd) {
      ChunkSpan sub;
      if (!NextChunk(at, span.bodyEnd, 2, sub)) {
        break;
      }
      if (c_.TagAt(at, span.bodyEnd, mmf::kAudioSequenceTag)) {
        ReadSequence(c_, sub.bodyStart, sub.bodyEnd, settings, audio.events);
      } else if (c_.TagAt(at, span.bodyEnd, mmf::kWaveTag)) {
        ReadWave(sub, audio);
      } else if (!c_.TagAt(at, span.bodyEnd, mmf::kAudioSeekTag) &&
                 !c_.TagAt(at, span.bodyEnd, mmf::kAudioSetupTag)) {
        UnknownSubChunk(at);
      }
      at = sub.bodyEnd;
    }
  }

  void DecodeWaveType(AudioTrack& audio, size_t at) {
    int type = audio.header[mmf::kWaveTypeAt];
    audio.waveType = type;
    audio.channels = (type & 0x80) != 0 ? 2 : 1;
    audio.adpcm = ((type >> 4) & 0x07) == mmf::kWaveCodingAdpcm;
    int rateCode = type & 0x0F;
    audio.sampleRate = rateCode == 0 ? 4000 : rateCode == 1 ? 8000 : 0;
    if (!audio.adpcm || audio.sampleRate == 0 || audio.channels != 1) {
      c_.Add(FindingKind::kBadValue, at,
             "wave type " + Hex(type) + " is not mono 4-bit ADPCM at 4000 or 8000 Hz");
    }
  }

  void ReadWave(const ChunkSpan& sub, AudioTrack& audio) {
    Wave wave;
    wave.offset = sub.offset;
    wave.slot = c_.data[sub.offset + 3];
    wave.dataOffset = sub.bodyStart;
    wave.byteCount = sub.bodyEnd - sub.bodyStart;
    if (c_.keepEvents) {
      wave.data.assign(c_.data + sub.bodyStart, c_.data + sub.bodyEnd);
    }
    if (audio.sampleRate > 0) {
      // Two 4-bit samples in every byte, per channel.
      int64_t samples = static_cast<int64_t>(wave.byteCount) * 2 / audio.channels;
      wave.durationMs = samples * 1000 / audio.sampleRate;
    }
    audio.waves.push_back(std::move(wave));
  }

  void UnknownSubChunk(size_t at) {
    c_.Add(FindingKind::kUnknownTag, at, "unknown chunk \"" + PrintableTag(c_.data + at, 4) + "\"");
  }

  // The sub-chunks of a track that is not read, for the chunk tree only.
  void ListSubChunks(const ChunkSpan& span) {
    size_t at = span.bodyStart + mmf::kTrackHeaderSize;
    while (at < span.bodyEnd && span.bodyEnd - at >= mmf::kChunkHeaderSize) {
      ChunkSpan sub;
      NextChunk(at, span.bodyEnd, 2, sub);
      at = sub.bodyEnd;
    }
  }

  MmfFile& file_;
  ReadContext c_;
  size_t noTopTagFrom_ = SIZE_MAX;  // no known chunk starts at or after this offset
};

}  // namespace

std::string Hex(unsigned value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%0*X", digits, value);
  return text;
}

std::string PrintableTag(const uint8_t* bytes, size_t length) {
  std::string tag;
  for (size_t i = 0; i < length; ++i) {
    uint8_t b = bytes[i];
    if (b >= 0x20 && b < 0x7F && b != '\\' && b != '"') {
      tag += static_cast<char>(b);
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", b);
      tag += hex;
    }
  }
  return tag;
}

MmfFile ReadMmf(const uint8_t* data, size_t size) {
  MmfFile file;
  FileReader(data, size, true, file).Run();
  return file;
}

MmfFile CheckMmf(const uint8_t* data, size_t size) {
  MmfFile file;
  FileReader(data, size, false, file).Run();
  return file;
}

bool IsSound(const MmfFile& file) { return file.findings.empty(); }

std::span<const uint8_t> ExclusiveData(const MmfFile& file, const MmfEvent& event) {
  if (event.kind != MmfEventKind::kOtherExclusive) {
    return {};
  }
  const ExclusiveParams& p = event.params.exclusive;
  if (p.dataStart + size_t{p.dataSize} > file.exclusiveBytes.size()) {
    return {};
  }
  return {file.exclusiveBytes.data() + p.dataStart, p.dataSize};
}

std::array<bool, 16> ChannelsSelectingVoice(const MmfFile& file) {
  std::array<bool, 16> selecting{};
  for (const ScoreTrack& track : file.tracks) {
    for (const MmfEvent& event : track.events) {
      bool selects =
          event.kind == MmfEventKind::kVoice || event.kind == MmfEventKind::kProgramChange;
      if (selects && event.absChannel >= 0 && event.absChannel < 16) {
        selecting[event.absChannel] = true;
      }
    }
  }
  return selecting;
}
