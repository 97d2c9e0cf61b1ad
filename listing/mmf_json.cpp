// JSON form of the listing. A small writer of our own: objects are built as text in file
// order, every string goes through Quote, numbers are integers.

#include "listing/mmf_json.h"

#include <cstdio>
#include <span>

#include "core/sjis.h"
#include "listing/event_text.h"
#include "listing/mmf_listing.h"
#include "listing/voice_definition.h"
#include "reader/mmf_reader.h"

namespace {

std::string Quote(const std::string& text) {
  std::string out = "\"";
  for (char ch : text) {
    auto b = static_cast<unsigned char>(ch);
    if (ch == '"' || ch == '\\') {
      out += '\\';
      out += ch;
    } else if (b < 0x20) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04X", b);
      out += escape;
    } else {
      out += ch;
    }
  }
  return out + "\"";
}

// Builds one object: {"key":value,...}.
class Object {
 public:
  Object& Add(const char* key, const std::string& rawValue) {
    text_ += (text_.empty() ? "{" : ",") + Quote(key) + ":" + rawValue;
    return *this;
  }
  Object& Int(const char* key, int64_t value) { return Add(key, std::to_string(value)); }
  Object& Str(const char* key, const std::string& value) { return Add(key, Quote(value)); }
  Object& Bool(const char* key, bool value) { return Add(key, value ? "true" : "false"); }
  std::string Done() const { return text_.empty() ? "{}" : text_ + "}"; }

 private:
  std::string text_;
};

template <typename T, typename F>
std::string Array(const std::vector<T>& items, F toJson) {
  std::string out = "[";
  for (size_t i = 0; i < items.size(); ++i) {
    out += (i ? "," : "") + toJson(items[i]);
  }
  return out + "]";
}

std::string IntArray(std::span<const uint8_t> bytes) {
  std::string out = "[";
  for (size_t i = 0; i < bytes.size(); ++i) {
    out += (i ? "," : "") + std::to_string(bytes[i]);
  }
  return out + "]";
}

std::string EventJson(const MmfFile& file, const MmfEvent& e) {
  Object o;
  o.Str("kind", EventKindName(e.kind)).Int("offset", int64_t(e.offset)).Int("tick", e.tick);
  o.Int("ms", e.ms()).Int("channel", e.absChannel).Str("text", EventText(file, e));
  switch (e.kind) {
    case MmfEventKind::kNote:
      o.Int("note", e.note()).Str("name", NoteName(e.note())).Int("gateTicks", e.gateTicks());
      o.Int("gateMs", e.gateMs());
      break;
    case MmfEventKind::kDirectNote:
      o.Int("waveSlot", e.waveSlot()).Int("gateTicks", e.gateTicks()).Int("gateMs", e.gateMs());
      break;
    case MmfEventKind::kModulation:
    case MmfEventKind::kExpression:
      o.Int("value", e.value()).Int("decoded", e.decoded()).Bool("shortForm", e.shortForm());
      break;
    case MmfEventKind::kVolume:
    case MmfEventKind::kPan:
    case MmfEventKind::kMa1Opening:
      o.Int("value", e.value());
      break;
    case MmfEventKind::kOctaveShift:
      o.Int("shift", e.shift());
      break;
    case MmfEventKind::kVoice:
    case MmfEventKind::kProgramChange:
      o.Int("bank", e.bank()).Int("program", e.program()).Int("voice", e.voice());
      o.Int("voiceKey", e.voiceKey());
      break;
    case MmfEventKind::kBankSelect:
      o.Int("bank", e.bank());
      break;
    case MmfEventKind::kOtherControl:
      o.Int("control", e.control()).Int("value", e.value());
      break;
    case MmfEventKind::kFrequencyNote:
      o.Int("fnumberLow", e.fnumberLow()).Int("highByte", e.highByte()).Int("block", e.block());
      o.Int("fnumber", e.fnumber()).Int("keyState", int(e.keyState()));
      break;
    case MmfEventKind::kVoiceSlots:
      o.Int("pairChannel", e.pairChannel())
          .Int("slotLow", e.slotLow())
          .Int("slotHigh", e.slotHigh());
      break;
    case MmfEventKind::kOtherExclusive:
      o.Add("data", IntArray(ExclusiveData(file, e)));
      break;
    case MmfEventKind::kNop:
    case MmfEventKind::kEndOfSequence:
      break;
  }
  return o.Done();
}

std::string OperatorJson(const OperatorFields& op) {
  return Object()
      .Int("multiple", op.multiple)
      .Int("vibrato", op.vibrato)
      .Int("envelope", op.envelope)
      .Int("sustain", op.sustain)
      .Int("keyScaleRate", op.keyScaleRate)
      .Int("releaseRate", op.releaseRate)
      .Int("decayRate", op.decayRate)
      .Int("attackRate", op.attackRate)
      .Int("sustainLevel", op.sustainLevel)
      .Int("totalLevel", op.totalLevel)
      .Int("keyScaleLevel", op.keyScaleLevel)
      .Int("vibratoLevel", op.vibratoLevel)
      .Int("tremoloLevel", op.tremoloLevel)
      .Int("tremolo", op.tremolo)
      .Int("waveform", op.waveform)
      .Done();
}

std::string VoiceJson(const VoiceRecord& v) {
  static const char* const kKinds[] = {"ma1", "ma2-2op", "ma2-4op", "other"};
  Object o;
  o.Str("kind", kKinds[int(v.kind)]).Int("offset", int64_t(v.offset)).Int("slot", v.slot);
  o.Int("bank", v.bank).Int("number", v.number).Int("voice", v.voice).Int("voiceKey", v.voiceKey);
  o.Add("record", IntArray(v.record)).Bool("complete", v.complete);
  o.Str("definition", VoiceDefinition(v));
  if (!v.operators.empty()) {
    o.Int("effectFrequency", v.effectFrequency).Int("feedback", v.feedback);
    o.Int("algorithm", v.algorithm).Int("secondByte", v.secondByte);
    o.Add("operators", Array(v.operators, OperatorJson));
  }
  return o.Done();
}

std::string TrackJson(const MmfFile& file, const ScoreTrack& t) {
  return Object()
      .Int("number", t.number)
      .Int("offset", int64_t(t.offset))
      .Int("durationCode", t.durationCode)
      .Int("durationMs", t.durationMs)
      .Int("gateCode", t.gateCode)
      .Int("gateMs", t.gateMs)
      .Add("voices", Array(t.voices, VoiceJson))
      .Add("events", Array(t.events, [&](const MmfEvent& e) { return EventJson(file, e); }))
      .Done();
}

std::string AudioJson(const MmfFile& file, const AudioTrack& a) {
  auto wave = [](const Wave& w) {
    return Object()
        .Int("slot", w.slot)
        .Int("offset", int64_t(w.offset))
        .Int("bytes", int64_t(w.byteCount))
        .Int("durationMs", w.durationMs)
        .Done();
  };
  return Object()
      .Int("offset", int64_t(a.offset))
      .Int("waveType", a.waveType)
      .Bool("adpcm", a.adpcm)
      .Int("sampleRate", a.sampleRate)
      .Int("channels", a.channels)
      .Int("durationCode", a.durationCode)
      .Int("durationMs", a.durationMs)
      .Int("gateCode", a.gateCode)
      .Int("gateMs", a.gateMs)
      .Add("events", Array(a.events, [&](const MmfEvent& e) { return EventJson(file, e); }))
      .Add("waves", Array(a.waves, wave))
      .Done();
}

std::string ContentsJson(const MmfContents& c) {
  auto field = [](const ContentsField& f) {
    return Object()
        .Str("tag", SjisToUtf8(f.tag))
        .Str("value", SjisToUtf8(f.value))
        .Int("offset", int64_t(f.offset))
        .Done();
  };
  return Object()
      .Int("offset", int64_t(c.offset))
      .Int("class", c.contentsClass)
      .Int("type", c.contentsType)
      .Int("codeType", c.codeType)
      .Int("status", c.status)
      .Int("copyStatus", c.copyStatus)
      .Add("fields", Array(c.fields, field))
      .Done();
}

const char* FindingKindName(FindingKind kind) {
  switch (kind) {
    case FindingKind::kNotMmf:
      return "not-mmf";
    case FindingKind::kNotSupported:
      return "not-supported";
    case FindingKind::kSizeMismatch:
      return "size";
    case FindingKind::kCrcMismatch:
      return "crc";
    case FindingKind::kUnknownTag:
      return "unknown-tag";
    case FindingKind::kTruncated:
      return "truncated";
    case FindingKind::kUnknownMessage:
      return "unknown-message";
    case FindingKind::kBadTimebase:
      return "timebase";
    case FindingKind::kBadValue:
      return "value";
  }
  return "?";
}

}  // namespace

std::string MmfJson(const MmfFile& file, const std::string& name) {
  static const char* const kFormats[] = {"unknown", "MA1", "MA2"};
  auto chunk = [](const MmfChunk& c) {
    return Object()
        .Str("tag", c.tag)
        .Int("offset", int64_t(c.offset))
        .Int("size", c.declaredSize)
        .Int("present", int64_t(c.bodySize))
        .Int("depth", c.depth)
        .Done();
  };
  auto finding = [](const Finding& f) {
    return Object()
        .Str("kind", FindingKindName(f.kind))
        .Int("offset", int64_t(f.offset))
        .Str("text", f.text)
        .Done();
  };
  Object o;
  o.Str("file", name).Int("size", int64_t(file.fileSize)).Int("declaredSize", file.declaredSize);
  o.Str("format", kFormats[int(file.format)]).Bool("supported", file.supported);
  o.Bool("sound", file.findings.empty()).Add("chunks", Array(file.chunks, chunk));
  if (file.contents.present) {
    o.Add("contents", ContentsJson(file.contents));
  }
  o.Add("tracks", Array(file.tracks, [&](const ScoreTrack& t) { return TrackJson(file, t); }));
  if (file.hasAudio) {
    o.Add("audio", AudioJson(file, file.audio));
  }
  if (file.hasCrc) {
    o.Add("crc", Object()
                     .Int("stored", file.storedCrc)
                     .Int("computed", file.computedCrc)
                     .Bool("match", file.storedCrc == file.computedCrc)
                     .Done());
  }
  o.Bool("ezget", file.ezget).Add("findings", Array(file.findings, finding));
  return o.Done() + "\n";
}
