#include "cli/terminal_window.h"

#include <gtest/gtest.h>

#include <csignal>
#include <string>

namespace halv::cli {
namespace {

// Streams in memory for one test.
class Captured {
 public:
  Captured() : out(tmpfile()), err(tmpfile()), in(tmpfile()) {}
  ~Captured() {
    fclose(out);
    fclose(err);
    fclose(in);
  }
  static std::string Text(FILE* f) {
    fflush(f);
    rewind(f);
    std::string text;
    char block[512];
    size_t n;
    while ((n = fread(block, 1, sizeof block, f)) > 0) text.append(block, n);
    return text;
  }
  void Type(const std::string& text) {
    fputs(text.c_str(), in);
    rewind(in);
  }
  TerminalWindow::Streams Streams(bool terminal) { return {out, err, in, terminal, terminal}; }
  FILE* out;
  FILE* err;
  FILE* in;
};

TEST(TerminalWindow, PlainOutputHasOneLinePerStep) {
  Captured c;
  TerminalWindow w(c.Streams(false), false);
  w.ShowStatus("Connecting to Pumatic...");
  w.SetProgress(40);
  w.ShowStatus("Erasing firmware memory...");
  w.ShowMessageBox("Comm Port \"ttyUSB0\" isn't available.", "Connection Error", kMessageError);
  EXPECT_EQ(Captured::Text(c.out), "Connecting to Pumatic...\nErasing firmware memory...\n");
  EXPECT_EQ(Captured::Text(c.err),
            "\nError: Connection Error\nComm Port \"ttyUSB0\" isn't available.\n\n");
}

TEST(TerminalWindow, TerminalOutputRedrawsABarWithThePercentage) {
  Captured c;
  TerminalWindow w(c.Streams(true), false);
  w.ShowStatus("Uploading new firmware code...");
  w.SetProgress(50);
  const std::string out = Captured::Text(c.out);
  EXPECT_NE(out.find("[###############...............]  50%  Uploading new firmware code..."),
            std::string::npos);
}

TEST(TerminalWindow, QuestionsAreAnsweredByYesTheTerminalOrCancel) {
  {
    Captured c;
    TerminalWindow w(c.Streams(false), true);
    EXPECT_TRUE(w.AskOkCancel("Load older firmware?", "Newer Firmware"));
  }
  {
    Captured c;
    TerminalWindow w(c.Streams(false), false);
    EXPECT_FALSE(w.AskOkCancel("Load older firmware?", "Newer Firmware"));
    EXPECT_NE(Captured::Text(c.err).find("Answered Cancel"), std::string::npos);
  }
  {
    Captured c;
    c.Type("maybe\no\n");
    TerminalWindow w(c.Streams(true), false);
    EXPECT_TRUE(w.AskOkCancel("Go on?", "Wrong Device"));
  }
  {
    Captured c;
    c.Type("");  // end of input
    TerminalWindow w(c.Streams(true), false);
    EXPECT_FALSE(w.AskOkCancel("Go on?", "Wrong Device"));
  }
}

TEST(TerminalWindow, CtrlCDuringARunCallsTheQuitGuardAndGoesOn) {
  Captured c;
  TerminalWindow w(c.Streams(false), false);
  int guards = 0;
  w.on_interrupt = [&] { ++guards; };
  {
    InterruptGuard guard;
    raise(SIGINT);  // noted, not obeyed
    w.ProcessEvents();
    w.ProcessEvents();
  }
  EXPECT_EQ(guards, 1);
}

}  // namespace
}  // namespace halv::cli
