#ifndef QUAVREX_SYNTH_RENDER_SCORE_H_
#define QUAVREX_SYNTH_RENDER_SCORE_H_

#include <cstdint>
#include <vector>

#include "synth/fm_voice.h"
#include "synth/opl3_registers.h"

// What the renderer plays: the calls on the two sound sources in time order, with the voices
// and waves they use. Made from an .MMF's model by ScoreFromModel; tests build them directly.
enum class RenderEventKind {
  kKeyOn,       // FM channel: voice, pitch
  kPitch,       // FM channel: pitch (a slur or glide, no new attack)
  kKeyOff,      // FM channel
  kVolume,      // FM channel: value 0-127
  kExpression,  // FM channel: value 0-127
  kWaveOn,      // ADPCM channel: value = wave 1-10
  kWaveOff,     // ADPCM channel
  kWaveVolume,  // ADPCM channel: value 0-127
};

struct RenderEvent {
  double ms = 0;  // from the start of the tune
  RenderEventKind kind = RenderEventKind::kKeyOff;
  int channel = 0;
  int voice = -1;  // kKeyOn: index into RenderScore::voices
  // kKeyOn, kWaveOn: a number for the note; kKeyOff, kWaveOff act only while the channel still
  // plays the note of that number, so a late key-off never cuts the note that took over.
  int note = -1;
  FNumber pitch;
  int value = 0;
};

struct RenderWave {
  int id = 0;  // 1-10
  std::vector<int16_t> samples;
  int rate = 8000;
};

struct RenderScore {
  std::vector<FmVoice> voices;
  std::vector<RenderEvent> events;  // in time order
  std::vector<RenderWave> waves;
  double endMs = 0;  // the end of the tune (its last event)
};

#endif  // QUAVREX_SYNTH_RENDER_SCORE_H_
