// The part compilers' side of fault places: where in the expanded part text a failed command
// stands.

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
  const size_t at =
      deeper ? FaultByte(text, m_faultFrom, m_faultTo) : FaultByte(text, commandStart, cursor);
  m_errorPlace = {FaultText::kExpanded, PartLabel(slot), at};
  return false;
}
