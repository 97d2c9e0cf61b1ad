#include "web/web_session.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string_view>

#include "export/midi_output.h"
#include "export/score_of_midi.h"
#include "export/wav_output.h"
#include "listing/mmf_json.h"
#include "listing/mmf_listing.h"
#include "midi/pitch.h"
#include "reader/mmf_reader.h"
#include "synth/mmf_render.h"

namespace {

// The name of the .MMF that the exports read; their outputs are named after it.
constexpr const char* kMmfPath = "tune.MMF";

// Hands the job the bytes it reads and keeps what it writes, by path; the log lines, the range
// report and the fault places are kept as they come.
class MemoryServices : public CompileServices {
 public:
  std::map<std::string, std::string> files;
  std::map<std::string, Bytes> written;
  std::string shown;
  std::vector<FaultLocation> faults;

  bool ReadWholeFile(const std::string& path, std::string& bytes) override {
    const auto found = files.find(path);
    if (found == files.end()) {
      return false;
    }
    bytes = found->second;
    return true;
  }
  WriteResult WriteWholeFile(const std::string& path, const Bytes& data) override {
    written[path] = data;
    return WriteResult::kOk;
  }
  void Sleep(int /*milliseconds*/) override {}
  void LineLogged(const std::string& /*line*/) override {}
  void RefreshLog(const std::string& /*log*/) override {}
  void ShowInformation(const std::string& text) override { shown = text; }
  void FaultLocated(const FaultLocation& fault) override { faults.push_back(fault); }
};

// Text as the page shows it: "\r\n" line ends become "\n", the last line break goes.
std::string PageText(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c != '\r') {
      out += c;
    }
  }
  if (!out.empty() && out.back() == '\n') {
    out.pop_back();
  }
  return out;
}

// The last part of a path, so that a name cannot reach outside the folder given.
std::string BaseName(const std::string& name) {
  const size_t slash = name.rfind('/');
  return slash == std::string::npos ? name : name.substr(slash + 1);
}

// Empties `folder` and puts each wave there under its name; names that climb out of the
// folder, or cannot be written, are left out (the score then reports the wave as missing).
void PutWaves(const std::string& folder,
              const std::vector<std::pair<std::string, std::string>>& waves) {
  namespace fs = std::filesystem;
  std::error_code error;
  fs::remove_all(folder, error);
  fs::create_directories(folder, error);
  for (const auto& [name, bytes] : waves) {
    const fs::path relative = fs::path(name).relative_path().lexically_normal();
    if (relative.empty() || *relative.begin() == "..") {
      continue;
    }
    const fs::path path = fs::path(folder) / relative;
    fs::create_directories(path.parent_path(), error);
    std::ofstream file(path, std::ios::binary);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
}

std::string ToString(const Bytes& bytes) { return {bytes.begin(), bytes.end()}; }

// The one file an export wrote, and its log line.
WebExport Exported(const MemoryServices& services, const std::string& log) {
  WebExport result;
  if (!services.written.empty()) {
    result.bytes = services.written.begin()->second;
  }
  result.log = PageText(log);
  return result;
}

// "12.345" with enough digits for a piano roll, as JSON takes numbers.
std::string Number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.6g", value);
  return text;
}

}  // namespace

WebCompileResult CompileScore(const WebCompileRequest& request, const std::string& folder) {
  PutWaves(folder, request.waves);
  const std::string path = folder + "/" + BaseName(request.name);
  MemoryServices services;
  services.files[path] = request.score;
  std::string log;
  WebCompileResult result;
  CompileProducts products;
  result.written =
      CompileFile(path, request.options, log, services, &products) == CompileOutcome::kWritten;
  result.log = PageText(log);
  for (const FaultLocation& fault : services.faults) {
    result.diagnostics.push_back({fault.position.line, fault.position.column, fault.message});
  }
  result.rangeReport = PageText(services.shown);
  if (result.written) {
    result.mmf = std::move(products.image);
    result.channelParts = products.partNames;
  }
  return result;
}

std::string DumpMmf(const Bytes& mmf, const std::string& name) {
  return MmfListing(ReadMmf(mmf.data(), mmf.size()), name);
}

std::string JsonOfMmf(const Bytes& mmf, const std::string& name) {
  return MmfJson(ReadMmf(mmf.data(), mmf.size()), name);
}

WebExport MidiOfMmf(const Bytes& mmf) {
  MemoryServices services;
  services.files[kMmfPath] = ToString(mmf);
  std::string log;
  WriteMidiOfMmf(kMmfPath, log, services);
  return Exported(services, log);
}

WebExport WavOfMmf(const Bytes& mmf, int rate) {
  MemoryServices services;
  services.files[kMmfPath] = ToString(mmf);
  RenderOptions options;
  options.rate = rate;
  std::string log;
  WriteWavOfMmf(kMmfPath, options, log, services);
  return Exported(services, log);
}

WebRender RenderMmfAudio(const Bytes& mmf, int rate, const std::vector<std::string>& mutedParts) {
  RenderOptions options;
  options.rate = rate;
  for (const std::string& part : mutedParts) {
    if (part == "A") {
      options.muted.audio = true;
    }
    for (int channel = 0; channel < 16; ++channel) {
      if (part == std::to_string(channel + 1)) {
        options.muted.channels.set(static_cast<size_t>(channel));
      }
    }
  }
  // A mix with parts left out keeps its quiet end, as stems do, so that every choice of muted
  // parts gives as many samples and the parts line up with the whole tune.
  options.trimSilence = options.muted.channels.none() && !options.muted.audio;
  WebRender result;
  std::vector<int16_t> pcm;
  if (RenderMmf(mmf.data(), mmf.size(), options, pcm, result.error)) {
    result.samples.reserve(pcm.size());
    for (int16_t sample : pcm) {
      result.samples.push_back(static_cast<float>(sample) / 32768.0F);
    }
  }
  return result;
}

double DurationOfMmf(const Bytes& mmf) {
  RenderScore score;
  std::string error;
  return PlayableScore(mmf.data(), mmf.size(), score, error) ? score.endMs / 1000.0 : -1.0;
}

std::string NotesOfMmf(const Bytes& mmf) {
  const MmfFile file = ReadMmf(mmf.data(), mmf.size());
  std::string out = "[";
  auto addNote = [&out](int part, double start, double end, double pitch,
                        const std::vector<std::pair<double, double>>& glide) {
    out += out.size() > 1 ? ",\n" : "\n";
    out += "{\"part\":" + std::to_string(part) + ",\"startSec\":" + Number(start) +
           ",\"endSec\":" + Number(end) + ",\"pitch\":" + Number(pitch) + ",\"glide\":";
    if (glide.size() < 2) {
      out += "null}";
      return;
    }
    out += "[";
    for (size_t k = 0; k < glide.size(); ++k) {
      out += (k > 0 ? ",[" : "[") + Number(glide[k].first) + "," + Number(glide[k].second) + "]";
    }
    out += "]}";
  };
  // A frequency-mode note that sounds on a channel: from its key-on, with its pitches.
  struct Held {
    bool on = false;
    double start = 0;
    std::vector<std::pair<double, double>> glide;
  };
  for (const ScoreTrack& track : file.tracks) {
    std::map<int, Held> held;  // by channel
    auto finish = [&](int channel, double end) {
      Held& h = held[channel];
      if (h.on) {
        addNote(channel + 1, h.start, std::max(end, h.start), h.glide.front().second, h.glide);
        h = Held{};
      }
    };
    double last = 0;
    for (const MmfEvent& event : track.events) {
      const double sec = static_cast<double>(event.ms()) / 1000.0;
      last = std::max(last, sec);
      const int channel = event.absChannel;
      if (event.kind == MmfEventKind::kNote && event.note() >= 0 && channel >= 0) {
        const double end = sec + static_cast<double>(std::max<int64_t>(0, event.gateMs())) / 1000.0;
        addNote(channel + 1, sec, end, event.note(), {});
      } else if (event.kind == MmfEventKind::kFrequencyNote && channel >= 0) {
        if (event.keyState() == KeyState::kOff) {
          finish(channel, sec);
          continue;
        }
        if (event.fnumber() < 0 || event.block() < 0) {
          continue;
        }
        // The reader counts F-numbers from the table's origin; the chip's value is 256 higher.
        const double pitch = PitchOfFrequency(event.fnumber() + 256, event.block());
        // While the key is on, a key-on is a legato change that moved the high byte (the writer
        // stores those alike): the chip does not strike again. A legato change of a key that is
        // not on changes a silent pitch.
        Held& h = held[channel];
        if (!h.on && event.keyState() == KeyState::kLegato) {
          continue;
        }
        if (!h.on) {
          h.on = true;
          h.start = sec;
        }
        h.glide.emplace_back(sec, pitch);
      }
    }
    for (auto& [channel, h] : held) {
      finish(channel, last);
    }
  }
  out += "\n]\n";
  return out;
}

WebScore ScoreOfMidi(const Bytes& midi, const std::string& name, bool ma2,
                     const std::string& folder) {
  namespace fs = std::filesystem;
  std::error_code error;
  fs::remove_all(folder, error);
  fs::create_directories(folder, error);
  const std::string path = folder + "/" + BaseName(name);
  MemoryServices services;
  services.files[path] = ToString(midi);
  std::string log;
  WebScore result;
  if (WriteScoreOfMidi(path, ma2, false, log, services) && !services.written.empty()) {
    result.score = ToString(services.written.begin()->second);
  }
  result.log = PageText(log);
  return result;
}
