#ifndef QUAVREX_SYNTH_OPL3_REGISTERS_H_
#define QUAVREX_SYNTH_OPL3_REGISTERS_H_

#include "synth/fm_voice.h"

// The translation of voice-record fields into OPL3 register values. The two chips share the
// envelope generator, the multiple table and the eight waveforms, so most fields are copied;
// what differs is said beside each function.

// The largest total level: the chip's greatest attenuation (47.25 dB).
constexpr int kMaxTotalLevel = 63;
// One total-level step, in dB.
constexpr double kTotalLevelStepDb = 0.75;
// The release rate that an operator with the sustain flag uses after key-off.
constexpr int kSustainReleaseRate = 4;

// Register 0x20+op: envelope type (bit 5), key scale rate (bit 4), multiple (3-0). The chip's
// own tremolo and vibrato (bits 7, 6) stay off: their depth and rate are shared by the whole
// chip, while each voice here has its own, driven by FmEngine.
int OperatorFlagsRegister(const FmOperator& op);

// Register 0x40+op: key scale level (7-6) and total level (5-0) raised by `extraSteps`
// (volume, expression, tremolo), kept to 63. The key-scale-level codes mean 0, 3, 1.5 and
// 6 dB per octave in both chips (measured on the emulator), so the code is copied.
int LevelRegister(const FmOperator& op, int extraSteps);

// Register 0x60+op: attack rate (7-4), decay rate (3-0).
int AttackDecayRegister(const FmOperator& op);

// Register 0x80+op: sustain level (7-4), release rate (3-0). After key-off (`released`) an
// operator with the sustain flag releases at rate 4 instead of its own rate.
int SustainReleaseRegister(const FmOperator& op, bool released);

// Register 0xE0+op: waveform 0-7 (OPL3 mode).
int WaveformRegister(const FmOperator& op);

// Register 0xC0 of a 2-operator channel, or of the first (`half` 0) or second (`half` 1)
// channel of a 4-operator pair: left output only (no output when not `heard`: the channel
// runs as ever and only leaves the mix), feedback (3-1, first channel only) and the
// connection bit. A 2-operator algorithm is the connection bit itself; the 4-operator
// algorithms 4-7 (1-2-3-4; 1-2 + 3-4; 1 + 2-3-4; 1 + 2-3 + 4) are the pair's two connection
// bits, first channel's bit 1 of the algorithm, second channel's bit 0.
int ConnectionRegister(const FmVoice& voice, int half, bool heard = true);

// Bit k set when operator k+1 is a carrier (reaches the output) in the voice's algorithm.
int CarrierMask(const FmVoice& voice);

// The voice's LFO rate in Hz for effect frequency 0-3: 1.8, 4.0, 5.9, 7.0.
double LfoRateHz(int effectFrequency);
// The tremolo depth in dB for level 0-3: 1.3, 2.8, 5.8, 11.8.
double TremoloDepthDb(int level);
// The vibrato depth in cents for level 0-3: 3.4, 6.7, 13.5, 26.8.
double VibratoDepthCents(int level);

// The attenuation of a volume or expression value 0-127, in total-level steps: 40 log10 of
// value / 127 dB, the curve of MIDI's channel volume, rounded to 0.75 dB. 127 is 0 steps;
// 0 gives kMuteSteps.
constexpr int kMuteSteps = 1000;
int VolumeAttenuationSteps(int value);

// The chip's frequency setting: 10-bit F-number and 3-bit block; the pitch is
// F x 49716 x 2^block / 2^20 Hz (before the operator's multiple).
struct FNumber {
  int fnum = 0;
  int block = 0;
};

// The setting of note `note` (60 = middle C): the F-number table that frequency-mode notes use
// too (A = 580 in block 4 is 440 Hz; the other notes are up to 2.6 cents flat of equal
// temperament). Notes outside 12-119 are moved by octaves into that range.
FNumber NoteFNumber(int note);

// The pitch of a setting in Hz.
double FNumberHz(FNumber setting);

#endif  // QUAVREX_SYNTH_OPL3_REGISTERS_H_
