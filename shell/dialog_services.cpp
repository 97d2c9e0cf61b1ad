#include "shell/dialog_services.h"

#include <utility>

#include "job/diagnostic.h"

DialogCompileServices::DialogCompileServices(TextHook refreshLog, TextHook showInformation)
    : m_refreshLog(std::move(refreshLog)), m_showInformation(std::move(showInformation)) {}

void DialogCompileServices::RefreshLog(const std::string& log) { m_refreshLog(log); }

void DialogCompileServices::ShowInformation(const std::string& text) { m_showInformation(text); }

void DialogCompileServices::FaultLocated(const FaultLocation& fault) {
  m_faultPlace = FormatDiagnostic(fault);
}

std::string DialogCompileServices::TakeFaultPlace() { return std::exchange(m_faultPlace, {}); }
