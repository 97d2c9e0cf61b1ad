#ifndef QUAVREX_TESTS_SYNTH_AUDIO_ANALYSIS_H_
#define QUAVREX_TESTS_SYNTH_AUDIO_ANALYSIS_H_

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

// Measurements on rendered sound for the renderer's tests.

// The frequency of the samples [begin, end) from their rising zero crossings, each placed
// between its two samples by linear interpolation; 0 without two crossings.
inline double MeasureHz(const std::vector<int16_t>& s, int rate, size_t begin, size_t end) {
  double first = -1;
  double last = -1;
  int crossings = 0;
  for (size_t i = begin + 1; i < end && i < s.size(); ++i) {
    if (s[i - 1] < 0 && s[i] >= 0) {
      const double at = static_cast<double>(i - 1) + -s[i - 1] / double(s[i] - s[i - 1]);
      if (first < 0) {
        first = at;
      }
      last = at;
      ++crossings;
    }
  }
  return crossings < 2 ? 0 : (crossings - 1) * rate / (last - first);
}

inline double Cents(double hz, double reference) { return 1200 * std::log2(hz / reference); }

// The level in dB (full scale 0 dB) of the samples [begin, begin + count); -200 for silence.
inline double LevelDb(const std::vector<int16_t>& s, size_t begin, size_t count) {
  double sum = 0;
  size_t n = 0;
  for (size_t i = begin; i < begin + count && i < s.size(); ++i, ++n) {
    sum += double(s[i]) * s[i];
  }
  return n == 0 || sum == 0 ? -200 : 10 * std::log10(sum / n / (32768.0 * 32768.0));
}

// The first sample at or after `from` whose size exceeds `threshold`; s.size() when none does.
inline size_t FirstLoud(const std::vector<int16_t>& s, size_t from, int threshold) {
  for (size_t i = from; i < s.size(); ++i) {
    if (std::abs(s[i]) > threshold) {
      return i;
    }
  }
  return s.size();
}

// The magnitudes of harmonics 1..count of `hz` over [begin, end), scaled so that they sum to 1.
inline std::vector<double> HarmonicProfile(const std::vector<int16_t>& s, int rate, double hz,
                                           size_t begin, size_t end, int count) {
  std::vector<double> profile;
  double total = 0;
  for (int h = 1; h <= count; ++h) {
    double re = 0;
    double im = 0;
    for (size_t i = begin; i < end && i < s.size(); ++i) {
      const double phase = 2 * M_PI * h * hz * static_cast<double>(i) / rate;
      re += s[i] * std::cos(phase);
      im += s[i] * std::sin(phase);
    }
    profile.push_back(std::hypot(re, im));
    total += profile.back();
  }
  for (double& p : profile) {
    p = total > 0 ? p / total : 0;
  }
  return profile;
}

#endif  // QUAVREX_TESTS_SYNTH_AUDIO_ANALYSIS_H_
