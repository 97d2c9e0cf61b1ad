// The part compilers' side of fault places: where in the expanded part text a failed command
// stands, through the portamento rewrites of the text.

#include "core/fault_place.h"

#include <algorithm>

#include "core/bytes.h"
#include "core/compiler.h"

namespace {

// The first byte of the number that ends at `to`, or `from` when none does: a value out of
// range is reported after it was read, so the cursor stands just behind it.
size_t FaultByte(const std::string& text, size_t from, size_t to) {
  to = std::min(to, text.size());
  size_t digits = to;
  while (digits > from && IsDigit(text[digits - 1])) {
    --digits;
  }
  return digits < to ? digits : from;
}

}  // namespace

bool CMmlCompiler::PlaceStepFault(int slot, const std::string& text, size_t commandStart,
                                  size_t cursor) {
  const bool deeper = m_faultFrom != std::string::npos;
  size_t at =
      deeper ? FaultByte(text, m_faultFrom, m_faultTo) : FaultByte(text, commandStart, cursor);
  if (slot < kSequenceSlots) {
    // Bytes of a chain that replaced a group belong to the group; later bytes have moved.
    const TextRewrite& r = m_rewrites[slot];
    if (at >= r.start && at < r.end) {
      at = r.group;
    } else {
      at = static_cast<size_t>(std::max<int64_t>(static_cast<int64_t>(at) - r.shift, 0));
    }
  }
  m_errorPlace = {FaultText::kExpanded, PartLabel(slot), at};
  return false;
}

void CMmlCompiler::RecordRewrite(int slot, size_t groupStart, size_t start, size_t end,
                                 int64_t grown) {
  TextRewrite& r = m_rewrites[slot];
  // The group stands after every earlier chain, so only the shift applies to it.
  r.group = static_cast<size_t>(static_cast<int64_t>(groupStart) - r.shift);
  r.start = start;
  r.end = end;
  r.shift += grown;
}
