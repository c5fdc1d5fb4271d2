#include "cli/terminal_window.h"

#include <csignal>
#include <cstring>

namespace halv::cli {
namespace {

volatile sig_atomic_t g_interrupted = 0;
struct sigaction g_previous {};

void OnInterrupt(int) {
  g_interrupted = 1;
}

const char* KindWord(MessageKind kind) {
  switch (kind) {
    case kMessageWarning:
      return "Warning";
    case kMessageError:
      return "Error";
    case kMessageInformation:
      return "Information";
    case kMessageConfirmation:
      return "Question";
    default:
      return "Message";
  }
}

constexpr int kBarWidth = 30;

}  // namespace

void TerminalWindow::Redraw() {
  if (!s_.out_is_terminal) return;
  const int filled = progress_ * kBarWidth / 100;
  std::string bar(static_cast<size_t>(filled), '#');
  bar.append(static_cast<size_t>(kBarWidth - filled), '.');
  fprintf(s_.out, "\r\033[K[%s] %3d%%  %s", bar.c_str(), progress_, status_.c_str());
  fflush(s_.out);
  line_open_ = true;
}

void TerminalWindow::EndLine() {
  if (line_open_) {
    fputc('\n', s_.out);
    fflush(s_.out);
    line_open_ = false;
  }
}

void TerminalWindow::ShowStatus(const std::string& text) {
  if (text == status_ && line_open_) return;
  status_ = text;
  if (s_.out_is_terminal) {
    Redraw();
  } else {
    fprintf(s_.out, "%s\n", text.c_str());
    fflush(s_.out);
  }
}

void TerminalWindow::HideStatus() {
  EndLine();
}

void TerminalWindow::SetConnectLabel(const std::string& text) {
  if (text == connect_label_) return;
  connect_label_ = text;
  EndLine();
  fprintf(s_.out, "%s\n", text.c_str());
  fflush(s_.out);
}

void TerminalWindow::SetProgress(int position) {
  if (position < 0) position = 0;
  if (position > 100) position = 100;
  if (position == progress_) return;
  progress_ = position;
  Redraw();
}

void TerminalWindow::ShowMessageBox(const std::string& text, const std::string& caption,
                                    MessageKind kind) {
  EndLine();
  fprintf(s_.err, "\n%s: %s\n%s\n\n", KindWord(kind), caption.c_str(), text.c_str());
  fflush(s_.err);
}

bool TerminalWindow::AskOkCancel(const std::string& text, const std::string& caption) {
  EndLine();
  fprintf(s_.err, "\nQuestion: %s\n%s\n", caption.c_str(), text.c_str());
  if (answer_yes_) {
    fprintf(s_.err, "Answered OK (--yes).\n\n");
    return true;
  }
  if (!s_.in_is_terminal) {
    fprintf(s_.err, "Answered Cancel (no terminal to ask; --yes answers OK).\n\n");
    return false;
  }
  for (;;) {
    fprintf(s_.err, "OK or Cancel? [o/c] ");
    fflush(s_.err);
    char line[64];
    if (fgets(line, sizeof line, s_.in) == nullptr) return false;  // end of input is Cancel
    if (line[0] == 'o' || line[0] == 'O') return true;
    if (line[0] == 'c' || line[0] == 'C') return false;
  }
}

bool TerminalWindow::ShowNotice(const std::string& text, const std::string& caption) {
  EndLine();
  fprintf(s_.err, "\nWarning: %s\n%s\n", caption.c_str(), text.c_str());
  fflush(s_.err);
  return true;
}

void TerminalWindow::ProcessEvents() {
  if (InterruptGuard::TakeInterrupt() && on_interrupt) on_interrupt();
}

void TerminalWindow::InformationBeep() {
  if (s_.out_is_terminal) {
    fputc('\a', s_.out);
    fflush(s_.out);
  }
}

InterruptGuard::InterruptGuard() {
  g_interrupted = 0;
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, &g_previous);
}

InterruptGuard::~InterruptGuard() {
  sigaction(SIGINT, &g_previous, nullptr);
}

bool InterruptGuard::TakeInterrupt() {
  if (!g_interrupted) return false;
  g_interrupted = 0;
  return true;
}

}  // namespace halv::cli
