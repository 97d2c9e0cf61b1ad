#include "sequence/part_compiler.h"

#include <algorithm>
#include <utility>

#include "core/bytes.h"
#include "core/messages.h"
#include "core/sjis.h"

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

bool PartCompiler::Fail(std::string message) {
  fault.message = std::move(message);
  return false;
}

std::string PartCompiler::PartLabel(int slot) const {
  return slot == kAdpcmSlot ? std::string(messages::frontend::kAdpcmLabel) : score.partName[slot];
}

bool PartCompiler::FailPart(int slot, std::string_view utf8Tail) {
  return Fail(PartLabel(slot) + Sjis(utf8Tail));
}

bool PartCompiler::PlaceStepFault(int slot, const std::string& text, size_t commandStart,
                                  size_t cursor) {
  const bool deeper = faultFrom != std::string::npos;
  const size_t at =
      deeper ? FaultByte(text, faultFrom, faultTo) : FaultByte(text, commandStart, cursor);
  fault.place = {FaultText::kExpanded, PartLabel(slot), at};
  return false;
}

EventList::Handle PartCompiler::RefuseEvent(int slot) {
  if (eventCapSlot < 0) {
    eventCapSlot = slot;
  }
  return kNoEvent;
}

bool PartCompiler::CheckEventCap(bool stepped) {
  if (eventCapSlot >= 0) {
    fault.place = {};  // the cap belongs to the whole compile, not to the step's command
    return FailPart(eventCapSlot, messages::core::kPartDataTooLarge);
  }
  return stepped;
}

StageResult<CompiledTracks> CompileParts(SplitScore& score) {
  PartCompiler compiler(score);
  if (!compiler.CompileParts()) {
    CompileFault fault = std::move(compiler.fault);
    const auto found = score.pieces.find(fault.place.block);
    if (found != score.pieces.end()) {
      fault.place.pieces = found->second;
    }
    return fault;
  }
  return std::move(compiler.tracks);
}
