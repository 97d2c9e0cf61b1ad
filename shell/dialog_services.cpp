#include "shell/dialog_services.h"

#include <utility>

#include "job/diagnostic.h"

DialogCompileServices::DialogCompileServices(TextHook refreshLog, TextHook showInformation)
    : refreshLog_(std::move(refreshLog)), showInformation_(std::move(showInformation)) {}

void DialogCompileServices::RefreshLog(const std::string& log) { refreshLog_(log); }

void DialogCompileServices::ShowInformation(const std::string& text) { showInformation_(text); }

void DialogCompileServices::FaultLocated(const FaultLocation& fault) {
  faultPlace_ = FormatDiagnostic(fault);
}

std::string DialogCompileServices::TakeFaultPlace() { return std::exchange(faultPlace_, {}); }
