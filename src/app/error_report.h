// Showing a message to the user, and keeping it in the diagnostic log.
#pragma once

#include <string>

#include "app/update_window.h"
#include "log/diag_log.h"

namespace halv {

// Shows the box and, once it is closed, writes the text to the log at level 1
// with the tag "ErrorOK Told User:". Questions and notices are not logged.
void ShowErrorMessage(UpdateWindow* window, DiagLog* log, const std::string& text,
                      const std::string& caption, MessageKind kind);

}  // namespace halv
