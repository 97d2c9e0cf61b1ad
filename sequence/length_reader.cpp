#include "sequence/length_reader.h"

#include <algorithm>
#include <cassert>

#include "core/bytes.h"
#include "core/messages.h"
#include "core/text_functions.h"

namespace {

// One value and its dots.
LengthFault ReadValue(const std::string& text, size_t& cursor, int64_t omittedLength,
                      int tempoFactor, int64_t& length) {
  uint8_t c = ByteAt(text, cursor);
  int64_t value;
  if (c == '*' || c == '%') {
    ++cursor;
    int n = ReadArgument(text, cursor);
    if (n < 0) {
      return c == '*' ? LengthFault::kTicksMissing : LengthFault::kPercentMissing;
    }
    if (n == 0) {
      return c == '*' ? LengthFault::kTicksZero : LengthFault::kPercentZero;
    }
    if (c == '*') {
      value = int64_t{n} * 10000;
    } else {
      value = static_cast<int64_t>(static_cast<double>(int64_t{1280000} * n) * (1.0 / 192) *
                                   (tempoFactor * 0.0001));
    }
  } else if (IsDigit(c)) {
    int n = ReadArgument(text, cursor);
    if (n == 0) {
      return LengthFault::kValueZero;
    }
    value = ScaleByTempo(1280000 / n, tempoFactor);
  } else {
    value = omittedLength;
  }
  int64_t addition = value;
  while (ByteAt(text, cursor) == '.') {
    addition /= 2;
    value += addition;
    ++cursor;
  }
  length = std::min(value, kLengthLimit);
  return LengthFault::kNone;
}

// Adds the "^" ties after a length; a fault in one of them is marked as being in a tie.
void ReadTies(const std::string& text, size_t& cursor, int64_t omittedLength, int tempoFactor,
              LengthResult& result) {
  while (result.fault == LengthFault::kNone && ByteAt(text, cursor) == '^') {
    ++cursor;
    int64_t tied = 0;
    result.fault = ReadValue(text, cursor, omittedLength, tempoFactor, tied);
    result.faultInTie = true;
    result.length = std::min(result.length + tied, kLengthLimit);
  }
  if (result.fault == LengthFault::kNone) {
    result.faultInTie = false;
  }
}

}  // namespace

LengthResult ReadWrittenLength(const std::string& text, size_t& cursor, int64_t omittedLength,
                               int tempoFactor) {
  LengthResult result;
  result.fault = ReadValue(text, cursor, omittedLength, tempoFactor, result.length);
  ReadTies(text, cursor, omittedLength, tempoFactor, result);
  return result;
}

LengthResult ReadTicksLength(int64_t ticks, const std::string& text, size_t& cursor,
                             int64_t omittedLength, int tempoFactor) {
  constexpr int64_t kLargestNumber = 2147483647;
  constexpr int64_t kTick = 10000;
  LengthResult result;
  bool first = true;
  auto add = [&](int64_t value) {
    value = std::min(value, kLengthLimit);
    result.length = first ? value : std::min(result.length + value, kLengthLimit);
    first = false;
  };
  for (; ticks > kLargestNumber; ticks -= kLargestNumber) {
    add(kLargestNumber * kTick);
  }
  // The dots after the last value add to it alone.
  int64_t value = ticks * kTick;
  int64_t addition = value;
  while (ByteAt(text, cursor) == '.') {
    addition /= 2;
    value += addition;
    ++cursor;
  }
  add(value);
  ReadTies(text, cursor, omittedLength, tempoFactor, result);
  return result;
}

void SkipLength(const std::string& text, size_t& cursor) {
  for (;;) {
    uint8_t c = ByteAt(text, cursor);
    if (c == '*' || c == '%') {
      ++cursor;
    }
    while (IsDigit(ByteAt(text, cursor))) {
      ++cursor;
    }
    while (ByteAt(text, cursor) == '.') {
      ++cursor;
    }
    if (ByteAt(text, cursor) != '^') {
      return;
    }
    ++cursor;
  }
}

std::string_view LengthFaultText(LengthFault fault) {
  switch (fault) {
    case LengthFault::kTicksMissing:
      return messages::sequence::kTicksMissing;
    case LengthFault::kTicksZero:
      return messages::sequence::kTicksZero;
    case LengthFault::kPercentMissing:
      return messages::sequence::kPercentMissing;
    case LengthFault::kPercentZero:
      return messages::sequence::kPercentZero;
    case LengthFault::kValueZero:
      return messages::sequence::kLengthValueZero;
    case LengthFault::kNone:
      break;
  }
  assert(false && "no text for a length without fault");
  return "";
}
