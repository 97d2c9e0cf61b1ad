// The functions the page's script calls in the WebAssembly module (web/quavrex-api.js). Each
// takes its input as pointers and lengths into the module's memory and leaves its output in
// the module's one result: a text (UTF-8; JSON where the script parses it) and bytes, read
// through qx_text_* and qx_bytes_* until the next call. Running out of memory is a result too:
// the text says so and the module lives on.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "web/web_session.h"

namespace {

// Where compiles put the waves of their score, and MIDI imports look for the score they write.
constexpr const char* kScoreFolder = "/quavrex/score";
constexpr const char* kImportFolder = "/quavrex/import";
constexpr const char* kOutOfMemory = "メモリが足りません。";

struct Result {
  std::string text;
  std::vector<uint8_t> bytes;
};
Result g_result;
std::vector<std::pair<std::string, std::string>> g_waves;  // for the next compile

std::string Text(const char* data, size_t size) { return size == 0 ? "" : std::string(data, size); }
Bytes BytesOf(const uint8_t* data, size_t size) {
  return size == 0 ? Bytes() : Bytes(data, data + size);
}

// `text` as a JSON string.
std::string JsonString(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          static const char kHex[] = "0123456789abcdef";
          out += "\\u00";
          out += kHex[(c >> 4) & 0xF];
          out += kHex[c & 0xF];
        } else {
          out += c;
        }
    }
  }
  return out + "\"";
}

std::string CompileJson(const WebCompileResult& result) {
  std::string out = "{\"log\":" + JsonString(result.log) + ",\"diagnostics\":[";
  for (size_t k = 0; k < result.diagnostics.size(); ++k) {
    const WebDiagnostic& d = result.diagnostics[k];
    out += (k > 0 ? ",{\"line\":" : "{\"line\":") + std::to_string(d.line) +
           ",\"column\":" + std::to_string(d.column) + ",\"message\":" + JsonString(d.message) +
           "}";
  }
  out += "],\"rangeReport\":" + JsonString(result.rangeReport) + ",\"channels\":[";
  for (size_t k = 0; k < result.channelParts.size(); ++k) {
    out += (k > 0 ? "," : "") + JsonString(result.channelParts[k]);
  }
  return out + "],\"written\":" + (result.written ? "true" : "false") + "}";
}

// Runs `work`, which fills g_result; when memory runs out the result is that message alone.
template <typename Work>
int Guarded(Work work) {
  g_result = Result();
  try {
    return work();
  } catch (const std::bad_alloc&) {
    g_result = Result();
    g_result.text = kOutOfMemory;
    return -1;
  }
}

}  // namespace

extern "C" {

uint8_t* qx_alloc(size_t size) { return static_cast<uint8_t*>(std::malloc(size == 0 ? 1 : size)); }
void qx_free(uint8_t* data) { std::free(data); }

const char* qx_text_ptr() { return g_result.text.data(); }
size_t qx_text_len() { return g_result.text.size(); }
const uint8_t* qx_bytes_ptr() { return g_result.bytes.data(); }
size_t qx_bytes_len() { return g_result.bytes.size(); }

// The program's version, as "quavrexc --version" gives it without the name.
int qx_version() {
  return Guarded([] {
    g_result.text = QUAVREX_VERSION;
    return 0;
  });
}

// Adds a wave file that the next compile's score may play.
int qx_add_wave(const char* name, size_t nameSize, const uint8_t* data, size_t size) {
  return Guarded([&] {
    g_waves.emplace_back(Text(name, nameSize), Text(reinterpret_cast<const char*>(data), size));
    return 0;
  });
}

// Compiles a score; `flags` bit 0 MA2, bit 1 octave check, bit 2 voice setup, bit 3 EzGet
// trailer; `encoding` 0 auto, 1 Shift-JIS, 2 UTF-8. Text: the JSON of the outcome; bytes: the
// .MMF. Returns 1 when the .MMF was made, 0 when not, -1 when memory ran out.
int qx_compile(const char* name, size_t nameSize, const uint8_t* score, size_t scoreSize, int flags,
               int encoding) {
  std::vector<std::pair<std::string, std::string>> waves = std::move(g_waves);
  g_waves.clear();
  return Guarded([&] {
    WebCompileRequest request;
    request.name = Text(name, nameSize);
    request.score = Text(reinterpret_cast<const char*>(score), scoreSize);
    request.options.ma2 = (flags & 1) != 0;
    request.options.octaveCheck = (flags & 2) != 0;
    request.options.voiceSetup = (flags & 4) != 0 ? 1 : 0;
    request.options.ezgetTrailer = (flags & 8) != 0;
    request.options.encoding = encoding == 1   ? ScoreEncoding::kShiftJis
                               : encoding == 2 ? ScoreEncoding::kUtf8
                                               : ScoreEncoding::kAuto;
    request.waves = std::move(waves);
    WebCompileResult result = CompileScore(request, kScoreFolder);
    g_result.text = CompileJson(result);
    g_result.bytes = std::move(result.mmf);
    return result.written ? 1 : 0;
  });
}

// The listing (`json` 0) or the JSON (`json` 1) of an .MMF, headed by `name`.
int qx_listing(const uint8_t* mmf, size_t size, const char* name, size_t nameSize, int json) {
  return Guarded([&] {
    const Bytes bytes = BytesOf(mmf, size);
    g_result.text =
        json != 0 ? JsonOfMmf(bytes, Text(name, nameSize)) : DumpMmf(bytes, Text(name, nameSize));
    return 0;
  });
}

// The MIDI file (`wav` 0) or the WAVE file at `rate` (`wav` 1) of an .MMF: bytes, and the log
// line as text. Returns 1 when a file was made.
int qx_export(const uint8_t* mmf, size_t size, int wav, int rate) {
  return Guarded([&] {
    const Bytes bytes = BytesOf(mmf, size);
    WebExport result = wav != 0 ? WavOfMmf(bytes, rate) : MidiOfMmf(bytes);
    g_result.text = std::move(result.log);
    g_result.bytes = std::move(result.bytes);
    return g_result.bytes.empty() ? 0 : 1;
  });
}

// The tune rendered at `rate` with the parts named in `muted` (comma-separated: "1"-"16", "A")
// left out: 32-bit floats as bytes, or the error as text. Returns 1 when rendered.
int qx_render(const uint8_t* mmf, size_t size, int rate, const char* muted, size_t mutedSize) {
  return Guarded([&] {
    std::vector<std::string> parts;
    std::string list = Text(muted, mutedSize);
    for (size_t start = 0; start <= list.size();) {
      size_t comma = list.find(',', start);
      if (comma == std::string::npos) {
        comma = list.size();
      }
      parts.push_back(list.substr(start, comma - start));
      start = comma + 1;
    }
    WebRender result = RenderMmfAudio(BytesOf(mmf, size), rate, parts);
    g_result.bytes.resize(result.samples.size() * sizeof(float));
    if (!result.samples.empty()) {
      std::memcpy(g_result.bytes.data(), result.samples.data(), g_result.bytes.size());
    }
    g_result.text = result.error;
    return result.samples.empty() && !result.error.empty() ? 0 : 1;
  });
}

// The tune's length in seconds, -1 when it cannot be played.
double qx_duration(const uint8_t* mmf, size_t size) {
  double seconds = -1;
  Guarded([&] {
    seconds = DurationOfMmf(BytesOf(mmf, size));
    return 0;
  });
  return seconds;
}

// The notes for the piano roll, as JSON text.
int qx_notes(const uint8_t* mmf, size_t size) {
  return Guarded([&] {
    g_result.text = NotesOfMmf(BytesOf(mmf, size));
    return 0;
  });
}

// A MIDI file made into a score: the score's bytes, and the log line as text. Returns 1 when
// a score was made.
int qx_midi_to_score(const uint8_t* midi, size_t size, const char* name, size_t nameSize, int ma2) {
  return Guarded([&] {
    WebScore result =
        ScoreOfMidi(BytesOf(midi, size), Text(name, nameSize), ma2 != 0, kImportFolder);
    g_result.text = std::move(result.log);
    g_result.bytes.assign(result.score.begin(), result.score.end());
    return g_result.bytes.empty() ? 0 : 1;
  });
}

}  // extern "C"
