#include "app/error_report.h"

namespace halv {

void ShowErrorMessage(UpdateWindow* window, DiagLog* log, const std::string& text,
                      const std::string& caption, MessageKind kind) {
  window->ShowMessageBox(text, caption, kind);
  if (log != nullptr) LogMessage(log, kLogError, "ErrorOK Told User:", "%s", text.c_str());
}

}  // namespace halv
