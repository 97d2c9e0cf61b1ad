#include "listing/mmf_listing.h"

#include <cstdio>

#include "core/sjis.h"
#include "listing/event_text.h"
#include "listing/voice_definition.h"

namespace {

std::string Offset(size_t offset) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%04zX", offset);
  return text;
}

std::string Hex2(int value) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%02X", value & 0xFF);
  return text;
}

const char* FormatName(MmfFormat format) {
  switch (format) {
    case MmfFormat::kMa1:
      return "MA1";
    case MmfFormat::kMa2:
      return "MA2";
    case MmfFormat::kUnknown:
      break;
  }
  return "no score track";
}

void ListChunks(const MmfFile& file, std::string& out) {
  out += "chunks:\n";
  for (const MmfChunk& chunk : file.chunks) {
    out += std::string(2 + 2 * chunk.depth, ' ') + Offset(chunk.offset) + " \"" + chunk.tag +
           "\" size " + std::to_string(chunk.declaredSize);
    if (chunk.bodySize != chunk.declaredSize) {
      out += " (" + std::to_string(chunk.bodySize) + " present)";
    }
    out += "\n";
  }
}

void ListContents(const MmfContents& c, std::string& out) {
  if (!c.present) {
    return;
  }
  out += "contents: class " + Hex2(c.contentsClass) + ", type " + Hex2(c.contentsType) + ", code " +
         Hex2(c.codeType) + ", status " + Hex2(c.status) + ", copy " + Hex2(c.copyStatus) + "\n";
  for (const ContentsField& field : c.fields) {
    out += "  " + SjisToUtf8(field.tag) + ": " + SjisToUtf8(field.value) +
           (field.bareComma ? "  (note: the value holds a comma)" : "") + "\n";
  }
}

std::string Timebases(int durationCode, int durationMs, int gateCode, int gateMs) {
  return "duration " + std::to_string(durationMs) + " ms/tick (code " + Hex2(durationCode) +
         "), gate " + std::to_string(gateMs) + " ms/tick (code " + Hex2(gateCode) + ")";
}

void ListVoices(const ScoreTrack& track, std::string& out) {
  if (!track.hasSetup) {
    return;
  }
  out += "  voices:\n";
  if (track.setupOpening >= 0) {
    out += "    MA1 setup opening " + Hex2(track.setupOpening) + "\n";
  }
  for (const VoiceRecord& v : track.voices) {
    std::string where = v.kind == VoiceRecordKind::kMa1 ? "message " + std::to_string(v.slot)
                                                        : "slot " + std::to_string(v.slot);
    std::string definition = VoiceDefinition(v);
    out += "    " + Offset(v.offset) + " " + where + ": " +
           (definition.empty() ? "(" + WhyNoDefinition(v) + ")" : definition) + "\n";
  }
}

void ListEvents(const MmfFile& file, const std::vector<MmfEvent>& events, std::string& out) {
  out += "  events:      tick      time  ch  event\n";
  for (const MmfEvent& e : events) {
    char head[64];
    std::snprintf(head, sizeof head, "    %s %9lld %9s  ", Offset(e.offset).c_str(),
                  static_cast<long long>(e.tick), Seconds(e.ms()).c_str());
    std::string channel = e.absChannel >= 0 ? std::to_string(e.absChannel + 1) : "-";
    channel.insert(0, 2 - std::min<size_t>(2, channel.size()), ' ');
    out += head + channel + "  " + EventText(file, e) + "\n";
  }
}

void ListAudio(const MmfFile& file, const AudioTrack& audio, std::string& out) {
  out += "audio track at " + Offset(audio.offset) + ": wave type " + Hex2(audio.waveType) + " (" +
         (audio.adpcm ? "ADPCM" : "not ADPCM") + ", " + std::to_string(audio.sampleRate) + " Hz, " +
         (audio.channels == 1 ? "mono" : "stereo") + "), " +
         Timebases(audio.durationCode, audio.durationMs, audio.gateCode, audio.gateMs) + "\n";
  ListEvents(file, audio.events, out);
  out += "  waves:\n";
  for (const Wave& w : audio.waves) {
    out += "    " + Offset(w.offset) + " slot " + std::to_string(w.slot) + ": " +
           std::to_string(audio.sampleRate) + " Hz, " + std::to_string(w.byteCount) + " bytes, " +
           Seconds(w.durationMs) + " s\n";
  }
}

}  // namespace

std::string FindingText(const Finding& finding) {
  return "byte " + Offset(finding.offset) + ": " + finding.text;
}

std::string VerifyLine(const MmfFile& file, const std::string& name) {
  if (file.findings.empty()) {
    return name + ": sound";
  }
  return name + ": " + FindingText(file.findings.front());
}

std::string MmfListing(const MmfFile& file, const std::string& name) {
  std::string out = name + ": " + std::to_string(file.fileSize) + " bytes, " +
                    FormatName(file.format) + (file.supported ? "" : ", not supported") + "\n";
  ListChunks(file, out);
  ListContents(file.contents, out);
  for (const ScoreTrack& track : file.tracks) {
    out += "score track " + std::to_string(track.number) + " at " + Offset(track.offset) + ": " +
           Timebases(track.durationCode, track.durationMs, track.gateCode, track.gateMs) + "\n";
    ListVoices(track, out);
    ListEvents(file, track.events, out);
  }
  if (file.hasAudio) {
    ListAudio(file, file.audio, out);
  }
  if (file.hasCrc) {
    out += "CRC: stored " + Hex2(file.storedCrc >> 8) + Hex2(file.storedCrc).substr(2) +
           ", computed " + Hex2(file.computedCrc >> 8) + Hex2(file.computedCrc).substr(2) +
           (file.storedCrc == file.computedCrc ? ", match" : ", MISMATCH") +
           (file.ezget ? "; EzGet trailer 1D 0F" : "; no EzGet trailer") + "\n";
  }
  out += "findings: " + std::string(file.findings.empty() ? "none, the file is sound" : "") + "\n";
  for (const Finding& finding : file.findings) {
    out += "  " + FindingText(finding) + "\n";
  }
  return out;
}
