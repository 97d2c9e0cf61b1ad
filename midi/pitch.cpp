#include "midi/pitch.h"

#include <algorithm>
#include <cmath>

namespace {

// The compiler's F-number table gives A (the note 69) the F-number 580 in block 4; the chip
// then sounds 440 Hz. Every other F-number and block scales from there.
constexpr double kReferenceFrequency = 580.0 * 16.0;
constexpr double kReferencePitch = 69.0;
constexpr int kDefaultBendRange = 2;

}  // namespace

double PitchOfFrequency(int fnumber, int block) {
  if (fnumber <= 0) {
    return 0.0;
  }
  double frequency = std::ldexp(static_cast<double>(fnumber), block);
  return kReferencePitch + 12.0 * std::log2(frequency / kReferenceFrequency);
}

int NearestKey(double pitch) { return static_cast<int>(std::clamp(std::lround(pitch), 0L, 127L)); }

int BendRangeFor(double deviation) {
  double needed = std::ceil(std::abs(deviation) - 1e-9);
  return static_cast<int>(std::clamp(needed, double{kDefaultBendRange}, double{kLargestBendRange}));
}

int BendValue(double deviation, int range) {
  long value = std::lround(deviation * 8192.0 / range);
  return static_cast<int>(std::clamp(value, -8192L, 8191L));
}
