#ifndef QUAVREX_CORE_COMPILE_FAULT_H_
#define QUAVREX_CORE_COMPILE_FAULT_H_

#include <optional>
#include <string>
#include <utility>

#include "core/fault_place.h"

// Why a compile stopped: the one message the log shows (Shift-JIS) and where in the score
// its fault lies, when it has a place.
struct CompileFault {
  std::string message;
  FaultPlace place;
};

// What a stage of the compile hands on: its result, or the fault that stopped it.
template <typename T>
class StageResult {
 public:
  StageResult(T value) : value_(std::move(value)) {}
  StageResult(CompileFault fault) : fault_(std::move(fault)) {}

  bool ok() const { return value_.has_value(); }
  T& value() { return *value_; }
  const T& value() const { return *value_; }
  const CompileFault& fault() const { return fault_; }

 private:
  std::optional<T> value_;
  CompileFault fault_;
};

#endif  // QUAVREX_CORE_COMPILE_FAULT_H_
