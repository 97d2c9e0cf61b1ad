#ifndef QUAVREX_SYNTH_WAVE_PLAYER_H_
#define QUAVREX_SYNTH_WAVE_PLAYER_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

// The ADPCM sound source: the audio track's waves, converted once to the chip's rate, played
// on four channels, one wave at a time on each (a new note takes over the channel).
class WavePlayer {
 public:
  static constexpr int kChannels = 4;
  static constexpr int kWaveSlots = 10;  // waves 1-10

  // Stores wave `id` (1-10), decoded samples at `rate` Hz.
  void SetWave(int id, const std::vector<int16_t>& samples, int rate);
  // Starts wave `id` on `channel` from its beginning; a wave never stored plays nothing.
  void Start(int channel, int id);
  // Stops the wave of `channel` (the note's gate has ended).
  void Stop(int channel);
  // Volume 0-127 on the curve of the FM channels.
  void SetVolume(int channel, int value);
  // Adds `count` samples at the chip's rate to `mix`.
  void Render(int32_t* mix, int count);
  // True when no channel is playing.
  bool IsSilent() const;

 private:
  struct Channel {
    int wave = 0;         // 0: none
    size_t position = 0;  // next sample of the wave
    int gain = 0;         // in 4096ths
    int volume = 100;
  };
  std::array<std::vector<int16_t>, kWaveSlots + 1> waves_;
  std::array<Channel, kChannels> channels_;
};

#endif  // QUAVREX_SYNTH_WAVE_PLAYER_H_
