#ifndef QUAVREX_SEQUENCE_LENGTH_READER_H_
#define QUAVREX_SEQUENCE_LENGTH_READER_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Lengths are fine units, 1/10000 tick; a whole note is 1280000 score units, scaled by the
// tempo factor Z into fine units as trunc(units * (Z * 0.0001)).

// The nearest integer to x, halves toward plus infinity (2.5 -> 3, -2.5 -> -2). Every note
// rounds with it, so it is inline and floors by hand: truncation, less one below zero, gives
// the floor of any double inside the 64-bit range (those from 2^52 on are whole already).
inline int64_t RoundHalfUp(double x) {
  const double y = x + 0.5;
  const auto truncated = static_cast<int64_t>(y);
  return static_cast<double>(truncated) > y ? truncated - 1 : truncated;
}

// RoundHalfUp(value * scale) in doubles, where `scale` is the double nearest 1 / kDivisor.
// Below 2^43 the product's rounding errors stay under a hundredth of 1 / kDivisor, the least
// distance between a quotient and the next half way point, so integer division rounds the
// same; only at an exact half may the product fall either side, and the doubles decide. The
// doubles' chain of conversions and products cost every note a dozen cycles of waiting.
template <int64_t kDivisor>
inline int64_t RoundDivided(int64_t value, double scale) {
  static_assert(kDivisor > 0 && kDivisor % 2 == 0);
  if (value >= 0 && value < (int64_t{1} << 43)) {
    const int64_t quotient = value / kDivisor;
    const int64_t rest = value - quotient * kDivisor;
    if (rest != kDivisor / 2) {
      return quotient + (rest > kDivisor / 2 ? 1 : 0);
    }
  }
  return RoundHalfUp(static_cast<double>(value) * scale);
}

// An event time in ticks from a slot time in fine units.
inline int64_t TicksOf(int64_t fine) { return RoundDivided<10000>(fine, 0.0001); }

// The ticks of a gate: gate eighths of `length` fine units.
inline int64_t GateTicks(int64_t gate, int64_t length) {
  return RoundDivided<80000>(gate * length, 0.0000125);
}

// Score units scaled by the tempo factor into fine units.
inline int64_t ScaleByTempo(int64_t scoreUnits, int tempoFactor) {
  return static_cast<int64_t>(static_cast<double>(scoreUnits) * (tempoFactor * 0.0001));
}

enum class LengthFault {
  kNone,
  kTicksMissing,    // "*" without a number
  kTicksZero,       // "*0"
  kPercentMissing,  // "%" without a number
  kPercentZero,     // "%0"
  kValueZero,       // a note value of 0
};

struct LengthResult {
  int64_t length = 0;  // fine units
  LengthFault fault = LengthFault::kNone;
  bool faultInTie = false;  // the fault is in a value after "^"
};

// Lengths are held at this value (about 28 years of ticks): a long chain of huge ties would
// otherwise overflow, and the sums and products made with a length stay inside 64 bits.
constexpr int64_t kLengthLimit = int64_t{1} << 53;

// ReadLength where a length is written, its first byte at `cursor`.
LengthResult ReadWrittenLength(const std::string& text, size_t& cursor, int64_t omittedLength,
                               int tempoFactor);

// Reads a length at `cursor`: one value ("*" n ticks, "%" n 192ths of a whole note, a note
// value n, or nothing, which takes `omittedLength`), its dots (each adds half of the previous
// addition), then any number of "^" each followed by the same. Leaves the cursor on the first
// byte after the length. On a fault the cursor position is unspecified.
// Most notes of a score are written without a length, so that case is answered here.
inline LengthResult ReadLength(const std::string& text, size_t& cursor, int64_t omittedLength,
                               int tempoFactor) {
  const uint8_t c = cursor < text.size() ? static_cast<uint8_t>(text[cursor]) : 0;
  if (c == '*' || c == '%' || c == '.' || c == '^' || (c >= '0' && c <= '9')) {
    return ReadWrittenLength(text, cursor, omittedLength, tempoFactor);
  }
  LengthResult result;
  result.length = omittedLength < kLengthLimit ? omittedLength : kLengthLimit;
  return result;
}

// The length of "*ticks" as a portamento chain writes it (ticks > 0; tied values of at most
// 2147483647 ticks when larger), followed by whatever dots and "^" values stand at `cursor`
// of `text`: the same sum ReadLength makes of the chain's text and what follows it.
LengthResult ReadTicksLength(int64_t ticks, const std::string& text, size_t& cursor,
                             int64_t omittedLength, int tempoFactor);

// A part time after `length` more fine units. Held at 2^62 so that absurdly long scores cannot
// overflow the arithmetic; event times are long past any usable value by then.
inline int64_t AdvanceTime(int64_t time, int64_t length) {
  constexpr int64_t kTimeLimit = int64_t{1} << 62;
  return length >= kTimeLimit - time ? kTimeLimit : time + length;
}

// Steps over a length without evaluating it: an optional "*" or "%", an optional number, any
// dots, and any number of "^" each followed by the same (the length after a tuplet's "}").
void SkipLength(const std::string& text, size_t& cursor);

// The message tail of a length fault, in UTF-8, such as "絶対音長(*)に 0 は設定できません。".
std::string_view LengthFaultText(LengthFault fault);

#endif  // QUAVREX_SEQUENCE_LENGTH_READER_H_
