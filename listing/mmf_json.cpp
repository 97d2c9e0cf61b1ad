// JSON form of the listing. A small writer of our own: the whole text is appended to one
// string in file order (a listing of a large file is built without copying any part of it
// again), every string goes through AppendQuoted, numbers are integers.

#include "listing/mmf_json.h"

#include <charconv>
#include <cstdio>
#include <span>
#include <string_view>

#include "core/sjis.h"
#include "listing/event_text.h"
#include "listing/mmf_listing.h"
#include "listing/voice_definition.h"
#include "reader/mmf_reader.h"

namespace {

// Appends `text` in quotes: quotes and backslashes escaped with a backslash, control bytes as
// \u00XX, the rest as is.
void AppendQuoted(std::string& out, std::string_view text) {
  out += '"';
  size_t plain = 0;  // the start of the bytes not yet appended, none of which needs an escape
  for (size_t i = 0; i < text.size(); ++i) {
    const auto b = static_cast<unsigned char>(text[i]);
    if (b != '"' && b != '\\' && b >= 0x20) {
      continue;
    }
    out.append(text, plain, i - plain);
    plain = i + 1;
    if (b < 0x20) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04X", b);
      out += escape;
    } else {
      out += '\\';
      out += static_cast<char>(b);
    }
  }
  out.append(text, plain);
  out += '"';
}

void AppendInt(std::string& out, int64_t value) {
  char digits[24];
  out.append(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
}

// Appends one object, {"key":value,...}, to `out`; Done() closes it.
class Object {
 public:
  explicit Object(std::string& out) : out_(out) { out_ += '{'; }
  // A value that `write` appends to the text.
  template <typename F>
  Object& Add(const char* key, F write) {
    Key(key);
    write(out_);
    return *this;
  }
  Object& Int(const char* key, int64_t value) {
    Key(key);
    AppendInt(out_, value);
    return *this;
  }
  Object& Str(const char* key, std::string_view value) {
    Key(key);
    AppendQuoted(out_, value);
    return *this;
  }
  Object& Bool(const char* key, bool value) {
    Key(key);
    out_ += value ? "true" : "false";
    return *this;
  }
  void Done() { out_ += '}'; }

 private:
  // Keys are names of our own in letters and digits: written without a look for escapes.
  void Key(const char* key) {
    out_ += first_ ? "\"" : ",\"";
    first_ = false;
    out_ += key;
    out_ += "\":";
  }

  std::string& out_;
  bool first_ = true;
};

// The items as an array, each appended by write(out, item). The items are viewed, not copied:
// they must outlive the returned writer, as the model does.
template <typename T, typename F>
auto Array(std::span<const T> items, F write) {
  return [items, write](std::string& out) {
    out += '[';
    for (size_t i = 0; i < items.size(); ++i) {
      if (i != 0) {
        out += ',';
      }
      write(out, items[i]);
    }
    out += ']';
  };
}

template <typename T, typename F>
auto Array(const std::vector<T>& items, F write) {
  return Array(std::span<const T>(items), write);
}

auto IntArray(std::span<const uint8_t> bytes) {
  return Array(bytes, [](std::string& out, uint8_t byte) { AppendInt(out, byte); });
}

void EventJson(std::string& out, const MmfFile& file, const MmfEvent& e) {
  Object o(out);
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
  o.Done();
}

void OperatorJson(std::string& out, const OperatorFields& op) {
  Object(out)
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

void VoiceJson(std::string& out, const VoiceRecord& v) {
  static const char* const kKinds[] = {"ma1", "ma2-2op", "ma2-4op", "other"};
  Object o(out);
  o.Str("kind", kKinds[int(v.kind)]).Int("offset", int64_t(v.offset)).Int("slot", v.slot);
  o.Int("bank", v.bank).Int("number", v.number).Int("voice", v.voice).Int("voiceKey", v.voiceKey);
  o.Add("record", IntArray(v.record)).Bool("complete", v.complete);
  o.Str("definition", VoiceDefinition(v));
  if (!v.operators.empty()) {
    o.Int("effectFrequency", v.effectFrequency).Int("feedback", v.feedback);
    o.Int("algorithm", v.algorithm).Int("secondByte", v.secondByte);
    o.Add("operators", Array(v.operators, OperatorJson));
  }
  o.Done();
}

void TrackJson(std::string& out, const MmfFile& file, const ScoreTrack& t) {
  auto event = [&file](std::string& text, const MmfEvent& e) { EventJson(text, file, e); };
  Object(out)
      .Int("number", t.number)
      .Int("offset", int64_t(t.offset))
      .Int("durationCode", t.durationCode)
      .Int("durationMs", t.durationMs)
      .Int("gateCode", t.gateCode)
      .Int("gateMs", t.gateMs)
      .Add("voices", Array(t.voices, VoiceJson))
      .Add("events", Array(t.events, event))
      .Done();
}

void AudioJson(std::string& out, const MmfFile& file, const AudioTrack& a) {
  auto event = [&file](std::string& text, const MmfEvent& e) { EventJson(text, file, e); };
  auto wave = [](std::string& text, const Wave& w) {
    Object(text)
        .Int("slot", w.slot)
        .Int("offset", int64_t(w.offset))
        .Int("bytes", int64_t(w.byteCount))
        .Int("durationMs", w.durationMs)
        .Done();
  };
  Object(out)
      .Int("offset", int64_t(a.offset))
      .Int("waveType", a.waveType)
      .Bool("adpcm", a.adpcm)
      .Int("sampleRate", a.sampleRate)
      .Int("channels", a.channels)
      .Int("durationCode", a.durationCode)
      .Int("durationMs", a.durationMs)
      .Int("gateCode", a.gateCode)
      .Int("gateMs", a.gateMs)
      .Add("events", Array(a.events, event))
      .Add("waves", Array(a.waves, wave))
      .Done();
}

void ContentsJson(std::string& out, const MmfContents& c) {
  auto field = [](std::string& text, const ContentsField& f) {
    Object(text)
        .Str("tag", SjisToUtf8(f.tag))
        .Str("value", SjisToUtf8(f.value))
        .Int("offset", int64_t(f.offset))
        .Bool("bareComma", f.bareComma)
        .Done();
  };
  Object(out)
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
  auto chunk = [](std::string& out, const MmfChunk& c) {
    Object(out)
        .Str("tag", c.tag)
        .Int("offset", int64_t(c.offset))
        .Int("size", c.declaredSize)
        .Int("present", int64_t(c.bodySize))
        .Int("depth", c.depth)
        .Done();
  };
  auto finding = [](std::string& out, const Finding& f) {
    Object(out)
        .Str("kind", FindingKindName(f.kind))
        .Int("offset", int64_t(f.offset))
        .Str("text", f.text)
        .Done();
  };
  auto track = [&file](std::string& out, const ScoreTrack& t) { TrackJson(out, file, t); };
  std::string text;
  Object o(text);
  o.Str("file", name).Int("size", int64_t(file.fileSize)).Int("declaredSize", file.declaredSize);
  o.Str("format", kFormats[int(file.format)]).Bool("supported", file.supported);
  o.Bool("sound", file.findings.empty()).Add("chunks", Array(file.chunks, chunk));
  if (file.contents.present) {
    o.Add("contents", [&file](std::string& out) { ContentsJson(out, file.contents); });
  }
  o.Add("tracks", Array(file.tracks, track));
  if (file.hasAudio) {
    o.Add("audio", [&file](std::string& out) { AudioJson(out, file, file.audio); });
  }
  if (file.hasCrc) {
    o.Add("crc", [&file](std::string& out) {
      Object(out)
          .Int("stored", file.storedCrc)
          .Int("computed", file.computedCrc)
          .Bool("match", file.storedCrc == file.computedCrc)
          .Done();
    });
  }
  o.Bool("ezget", file.ezget).Add("findings", Array(file.findings, finding));
  o.Done();
  text += '\n';
  return text;
}
