// A front end for tests: records what the update sequence shows and answers
// its questions from a queue (OK unless told otherwise).
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "app/update_window.h"

namespace halv::test {

class RecordingWindow : public UpdateWindow {
 public:
  struct Box {
    std::string kind;  // "message", "question", "notice"
    std::string text;
    std::string caption;
    int message_kind = -1;
  };

  void ShowStatus(const std::string& text) override {
    status = text;
    status_visible = true;
    statuses.push_back(text);
  }
  void HideStatus() override { status_visible = false; }
  void SetConnectLabel(const std::string& text) override { connect_label = text; }
  void SetProgress(int position) override { progress = position; }
  int Progress() const override { return progress; }
  void ShowMessageBox(const std::string& text, const std::string& caption,
                      MessageKind kind) override {
    boxes.push_back({"message", text, caption, kind});
  }
  bool AskOkCancel(const std::string& text, const std::string& caption) override {
    boxes.push_back({"question", text, caption, -1});
    return NextAnswer();
  }
  bool ShowNotice(const std::string& text, const std::string& caption) override {
    boxes.push_back({"notice", text, caption, -1});
    return NextAnswer();
  }
  void ProcessEvents() override { ++events_processed; }
  void InformationBeep() override { ++beeps; }
  void SetBusyCursor(bool busy) override { busy_cursor = busy; }

  // Answers for the next questions: true is OK, false Cancel.
  std::deque<bool> answers;

  std::string status;
  bool status_visible = false;
  std::vector<std::string> statuses;
  std::string connect_label;
  int progress = 0;
  std::vector<Box> boxes;
  int events_processed = 0;
  int beeps = 0;
  bool busy_cursor = false;

 private:
  bool NextAnswer() {
    if (answers.empty()) return true;
    const bool answer = answers.front();
    answers.pop_front();
    return answer;
  }
};

}  // namespace halv::test
