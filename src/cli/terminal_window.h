// The update's front end on a terminal: status and progress on standard
// output (a redrawn line on a terminal, one line per step otherwise),
// messages on standard error with their caption, questions on the terminal.
#pragma once

#include <cstdio>
#include <functional>
#include <string>

#include "app/update_window.h"

namespace halv::cli {

class TerminalWindow : public UpdateWindow {
 public:
  struct Streams {
    FILE* out = stdout;
    FILE* err = stderr;
    FILE* in = stdin;
    bool out_is_terminal = false;
    bool in_is_terminal = false;
  };

  TerminalWindow(const Streams& streams, bool answer_yes) : s_(streams), answer_yes_(answer_yes) {}

  // Called from ProcessEvents when Ctrl-C was pressed since the last call.
  std::function<void()> on_interrupt;

  void ShowStatus(const std::string& text) override;
  void HideStatus() override;
  void SetConnectLabel(const std::string& text) override;
  void SetProgress(int position) override;
  int Progress() const override { return progress_; }
  void ShowMessageBox(const std::string& text, const std::string& caption,
                      MessageKind kind) override;
  bool AskOkCancel(const std::string& text, const std::string& caption) override;
  bool ShowNotice(const std::string& text, const std::string& caption) override;
  void ProcessEvents() override;
  void InformationBeep() override;
  void SetBusyCursor(bool) override {}

  // Ends a redrawn line so that what follows starts on its own line.
  void EndLine();

 private:
  void Redraw();

  Streams s_;
  bool answer_yes_;
  std::string status_;
  std::string connect_label_;
  int progress_ = 0;
  bool line_open_ = false;
};

// Ctrl-C is noted, not obeyed, while an update runs: installed for the
// length of a scope.
class InterruptGuard {
 public:
  InterruptGuard();
  ~InterruptGuard();
  InterruptGuard(const InterruptGuard&) = delete;
  InterruptGuard& operator=(const InterruptGuard&) = delete;
  // True once per Ctrl-C.
  static bool TakeInterrupt();
};

}  // namespace halv::cli
