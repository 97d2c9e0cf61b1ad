#ifndef QUAVREX_SHELL_DIALOG_SERVICES_H_
#define QUAVREX_SHELL_DIALOG_SERVICES_H_

#include <functional>
#include <string>

#include "job/file_services.h"

// The compile job's services for the dialog: real files, plus the two hooks that reach the
// window. The dialog supplies them, so the job never sees a widget.
class DialogCompileServices : public FileCompileServices {
 public:
  using TextHook = std::function<void(const std::string&)>;

  // `refreshLog` shows the log text; `showInformation` shows a report and waits for the user.
  DialogCompileServices(TextHook refreshLog, TextHook showInformation);

  void RefreshLog(const std::string& log) override;
  void ShowInformation(const std::string& text) override;
  void FaultLocated(const FaultLocation& fault) override;

  // The place of the compile error logged last, as a diagnostic (empty when it had none);
  // cleared by taking it.
  std::string TakeFaultPlace();

 private:
  std::string faultPlace_;
  TextHook refreshLog_;
  TextHook showInformation_;
};

#endif  // QUAVREX_SHELL_DIALOG_SERVICES_H_
