// The feedback window: its fields, checks and upload, against servers of the
// test's own on 127.0.0.1.
#include "web/feedback_form.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QTimer>
#include <filesystem>

#include "support/temp_dir.h"
#include "web/fake_desktop.h"
#include "web/loopback_server.h"
#include "web/multipart_reader.h"

namespace halv::test {
namespace {

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

void MakeFileOfSize(const std::string& path, uint64_t size) {
  WriteWholeFile(path, "");
  std::filesystem::resize_file(path, size);
}

class FeedbackFormTest : public ::testing::Test {
 protected:
  FeedbackFormTest() : form_(nullptr, &desktop_) {
    QSettings settings("Halvard Devices, Inc", "FeedbackForm");
    settings.clear();
    setup_.software_name = "Pumatic Firmware Updater";
    setup_.version_line = "Pumatic 1.06";
    setup_.default_recipient = "support@quorrin.example";
    setup_.install_folder = Q(dir_.Path().string());
    form_.Client().SetTimeLimitMs(2000);
  }

  // Shows the window as the main window would, with a server that answers.
  void ShowForm() {
    form_.SetUp(setup_);
    form_.show();
  }
  // A form that passes every check.
  void FillIn() {
    form_.edName->setText("Ann Smith");
    form_.edEmail->setText("ann@example.org");
    form_.reDescription->setPlainText("It works.");
  }
  QList<FormPart> SentParts(const LoopbackServer& server) {
    if (server.Requests().isEmpty()) return {};
    const HttpRequest& request = server.Requests().back();
    return ReadMultipart(request.body, BoundaryOf(request.Header("Content-Type")));
  }

  TempDir dir_;
  FakeDesktop desktop_;
  FeedbackSetup setup_;
  frmWeb form_;
};

TEST_F(FeedbackFormTest, ShowingFillsRememberedFieldsAndDefaults) {
  {
    QSettings settings("Halvard Devices, Inc", "FeedbackForm");
    settings.setValue("Name", "Ann");
    settings.setValue("Company", "Old Co");
    settings.setValue("Phone", "555 0100");
    settings.setValue("EmailTo", "rep@quorrin.example");
  }
  form_.edEmail->setText("left over");
  setup_.registered_company = "Registered Co";
  ShowForm();
  EXPECT_EQ(form_.edName->text(), "Ann");
  EXPECT_EQ(form_.edCompany->text(), "Registered Co");
  EXPECT_EQ(form_.edTelephone->text(), "555 0100");
  EXPECT_EQ(form_.edEmail->text(), "");  // no remembered value empties the field
  EXPECT_EQ(form_.edEmailTo->text(), "rep@quorrin.example");
  EXPECT_EQ(form_.cbRespondVia->currentText(), "Email");
  EXPECT_EQ(form_.cbFeedbackType->currentText(), "General Feedback");
  EXPECT_EQ(form_.chkErrorLog->text(), "Include Pumatic Firmware Updater error log files");
  EXPECT_FALSE(form_.pbWeb->isVisible());
  EXPECT_EQ(form_.windowTitle(), "Send Feedback to QUORRIN");
}

TEST_F(FeedbackFormTest, TheFeedbackTypeSetsLabelPromptAndCheckBox) {
  ShowForm();
  struct Case {
    int index;
    const char* label;
    const char* prompt;
    bool checked;
  } cases[] = {
      {0, "General Feedback", "Please describe the feedback below", false},
      {1, "Feature Suggestion", "Please describe the feature suggestion below", false},
      {2, "Bug Report", "Please describe the bug or issue below", true},
      {3, "Other Feedback", "Please describe the other feedback below", false},
      {-1, "General Feedback", "Please describe the feedback below", true},
  };
  for (const Case& c : cases) {
    form_.cbFeedbackType->setCurrentIndex(c.index);
    EXPECT_EQ(form_.TypeLabel(), c.label) << c.index;
    EXPECT_EQ(form_.lblDescription->text(), c.prompt) << c.index;
    EXPECT_EQ(form_.chkErrorLog->isChecked(), c.checked) << c.index;
  }
}

TEST_F(FeedbackFormTest, TheDescriptionHoldsAtMost2048Characters) {
  ShowForm();
  form_.reDescription->setPlainText(QString(3000, 'x'));
  EXPECT_EQ(form_.reDescription->toPlainText().size(), 2048);
}

TEST_F(FeedbackFormTest, APickedFileMayHaveUpTo6Megabytes) {
  ShowForm();
  const std::string fits = dir_.File("fits.bin");
  const std::string big = dir_.File("big.bin");
  MakeFileOfSize(fits, 6291456);
  MakeFileOfSize(big, 6291457);

  desktop_.picked_file = Q(fits);
  form_.btnSendFileClick();
  EXPECT_EQ(form_.edSendFile->text(), "fits.bin");
  EXPECT_TRUE(desktop_.boxes.empty());
  ASSERT_EQ(desktop_.pick_calls.size(), 1u);
  EXPECT_EQ(desktop_.pick_calls[0][0], "Send File with Feedback");
  EXPECT_EQ(desktop_.pick_calls[0][1], setup_.install_folder);

  desktop_.picked_file = Q(big);
  form_.btnSendFileClick();
  EXPECT_EQ(form_.edSendFile->text(), "");
  ASSERT_EQ(desktop_.boxes.size(), 1u);
  EXPECT_EQ(desktop_.boxes[0].text,
            "The file \"big.bin\" is too big.\n\n"
            "The maximum file size you can send with your feedback\n"
            "is 6 megabytes (this file is 6.0 MB).\n\nPlease choose a different file to send.");
  EXPECT_EQ(desktop_.boxes[0].caption, "File Size Error");
  EXPECT_EQ(desktop_.boxes[0].icon, BoxIcon::kError);

  desktop_.picked_file = "";  // cancelled
  form_.btnSendFileClick();
  EXPECT_EQ(form_.edSendFile->text(), "");
  EXPECT_EQ(desktop_.boxes.size(), 1u);
}

TEST_F(FeedbackFormTest, SendChecksTheFieldsInOrder) {
  const QString retype =
      "Please enter a complete email address including\nthe '@' symbol and domain name.";
  struct Case {
    const char* name;
    const char* email;
    const char* phone;
    int respond_via;
    const char* email_to;
    QString text;  // empty: all checks pass
    const char* caption;
    QLineEdit* frmWeb::*focus;
  } cases[] = {
      {"", "", "", 1, "", "Please enter your name in the name field", "Missing Information",
       &frmWeb::edName},
      {" ", "", "", 1, "",
       "Please enter your phone number or email address so QUORRIN Group can respond to your "
       "feedback.",
       "Missing Information", &frmWeb::edTelephone},
      {"Ann", "", "", 0, "x",
       "The email address you entered for your QUORRIN Group\n"
       "Representative isn't complete.\n\n" +
           retype,
       "Bad Email Address", &frmWeb::edEmailTo},
      {"Ann", "ann.example.org", "", 1, "",
       "The email address you entered doesn't seem to be correct.\n\n" + retype,
       "Bad Email Address", &frmWeb::edEmail},
      {"Ann", "ann @example.org", "", 1, "",
       "The email address you entered doesn't seem to be correct.\n\n" + retype +
           "\n\nPlease remove any space characters in the email address.",
       "Bad Email Address", &frmWeb::edEmail},
      {"Ann", "", "", 0, "", "", "", nullptr},  // no response necessary
      {"Ann", "", "555", 1, "rep@q.example", "", "", nullptr},
  };
  LoopbackServer server([](const HttpRequest&) { return HttpAnswer::Ok("Script Completed"); });
  ScopedServerVariable variable(server.HostAndPort());
  int sent = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text.toStdString());
    ShowForm();
    desktop_.boxes.clear();
    form_.edName->setText(c.name);
    form_.edEmail->setText(c.email);
    form_.edTelephone->setText(c.phone);
    form_.cbRespondVia->setCurrentIndex(c.respond_via);
    form_.edEmailTo->setText(c.email_to);
    form_.edName->setFocus();
    form_.btnSendClick();
    if (c.text.isEmpty()) {
      EXPECT_EQ(server.Requests().size(), ++sent);
      continue;
    }
    EXPECT_EQ(server.Requests().size(), sent);
    ASSERT_EQ(desktop_.boxes.size(), 1u);
    EXPECT_EQ(desktop_.boxes[0].text, c.text);
    EXPECT_EQ(desktop_.boxes[0].caption, QString(c.caption));
    EXPECT_EQ(desktop_.boxes[0].icon, BoxIcon::kWarning);
    EXPECT_EQ(form_.focusWidget(), form_.*c.focus);
  }
}

TEST_F(FeedbackFormTest, TheUploadCarriesTheFieldsInOrderThenTheFiles) {
  LoopbackServer server([](const HttpRequest&) { return HttpAnswer::Ok("...Script Completed"); });
  ScopedServerVariable variable(server.HostAndPort());
  WriteWholeFile(dir_.File("Pumatic.errors.txt"), "log line\r\n");
  WriteWholeFile(dir_.File("photo.png"), std::string("\x89PNG\r\n\x1a\n\0\xff", 10));
  setup_.log_files[0] = Q(dir_.File("Pumatic.errors.txt"));
  setup_.log_files[1] = Q(dir_.File("missing.txt"));  // left out without a word
  setup_.registered_name = "Reg Name";
  ShowForm();
  form_.edCompany->setText("Field Co");
  form_.edTelephone->setText("555 0100");
  form_.cbFeedbackType->setCurrentIndex(2);
  FillIn();
  desktop_.picked_file = Q(dir_.File("photo.png"));
  form_.btnSendFileClick();
  form_.btnSendClick();

  ASSERT_EQ(server.Requests().size(), 1);
  EXPECT_EQ(server.Requests()[0].request_line, "POST /php-bin/app_feedback.php HTTP/1.1");
  EXPECT_TRUE(server.Requests()[0].Header("Content-Type").startsWith("multipart/form-data"));
  const QList<FormPart> parts = SentParts(server);
  const std::pair<QByteArray, QByteArray> fields[] = {
      {"EmailTo", "support@quorrin.example"},
      {"EmailSubject", "Pumatic Firmware Updater Bug Report"},
      {"Name", "Ann Smith"},  // typed over the registered name
      {"Company Name", "Field Co"},
      {"Email", "ann@example.org"},
      {"Telephone", "555 0100"},
      {"Respond Via", "Email"},
      {"Registered Name", "Reg Name"},
      {"Registered Company", ""},
      {"Software Version", "Pumatic Firmware Updater version Pumatic 1.06"},
      {"Installation Path", QCoreApplication::applicationFilePath().toUtf8()},
      {"Feedback", "It works."},
  };
  ASSERT_EQ(parts.size(), 14);
  for (size_t i = 0; i < std::size(fields); ++i) {
    EXPECT_EQ(parts[i].disposition, "form-data; name=\"" + fields[i].first + "\"") << i;
    EXPECT_EQ(parts[i].content, fields[i].second) << i;
  }
  EXPECT_EQ(parts[12].disposition,
            "form-data; name=\"Pumatic.errors.txt\"; filename=\"Pumatic.errors.txt\"");
  EXPECT_EQ(parts[12].content_type, "text/plain");
  EXPECT_EQ(parts[12].content, "log line\r\n");
  EXPECT_EQ(parts[13].disposition, "form-data; name=\"photo.png\"; filename=\"photo.png\"");
  EXPECT_EQ(parts[13].content_type, "image/png");
  EXPECT_EQ(parts[13].content, QByteArray("\x89PNG\r\n\x1a\n\0\xff", 10));

  // Sent: thanks, the window closes and the fields are remembered.
  ASSERT_EQ(desktop_.boxes.size(), 1u);
  EXPECT_EQ(desktop_.boxes[0].text, "Thank you for submitting your Bug Report.");
  EXPECT_EQ(desktop_.boxes[0].caption, "Feedback Successfully Sent");
  EXPECT_EQ(desktop_.boxes[0].icon, BoxIcon::kInformation);
  EXPECT_FALSE(form_.isVisible());
  EXPECT_EQ(QSettings("Halvard Devices, Inc", "FeedbackForm").value("Company").toString(),
            "Field Co");
}

TEST_F(FeedbackFormTest, AHostileFileNameCannotAddHeaders) {
  LoopbackServer server([](const HttpRequest&) { return HttpAnswer::Ok("Script Completed"); });
  ScopedServerVariable variable(server.HostAndPort());
  const std::string path = dir_.File("a\"b\r\nX-Evil: 1.txt");
  WriteWholeFile(path, "data");
  ShowForm();
  FillIn();
  desktop_.picked_file = Q(path);
  form_.btnSendFileClick();
  form_.btnSendClick();
  const QList<FormPart> parts = SentParts(server);
  ASSERT_EQ(parts.size(), 13);
  EXPECT_EQ(parts[12].disposition,
            "form-data; name=\"a%22b%0D%0AX-Evil: 1.txt\"; filename=\"a%22b%0D%0AX-Evil: 1.txt\"");
  EXPECT_EQ(parts[12].content, "data");
}

TEST_F(FeedbackFormTest, FailedUploadsAreReportedWhileTheWindowShows) {
  struct Case {
    HttpAnswer answer;
    QString error_line;  // empty: no "Error: " line
  } cases[] = {
      {HttpAnswer::Ok("Mail not sent"), ""},
      {HttpAnswer::Ok(""), ""},
      {HttpAnswer::Status(500, "Internal Server Error"), "\n\nError: "},
      {HttpAnswer::Close(), "\n\nError: "},
  };
  for (const Case& c : cases) {
    LoopbackServer server([&](const HttpRequest&) { return c.answer; });
    ScopedServerVariable variable(server.HostAndPort());
    ShowForm();
    FillIn();
    desktop_.boxes.clear();
    form_.btnSendClick();
    ASSERT_EQ(desktop_.boxes.size(), 1u);
    const QString start =
        "There was an error trying to send your General Feedback to QUORRIN Group.\n\n"
        "Please try again.";
    if (c.error_line.isEmpty()) {
      EXPECT_EQ(desktop_.boxes[0].text, start);
    } else {
      EXPECT_TRUE(desktop_.boxes[0].text.startsWith(start + c.error_line))
          << desktop_.boxes[0].text.toStdString();
    }
    EXPECT_EQ(desktop_.boxes[0].caption, "Error Sending Feedback");
    EXPECT_EQ(desktop_.boxes[0].icon, BoxIcon::kWarning);
    EXPECT_TRUE(form_.isVisible());  // the fields stay for another try
    EXPECT_TRUE(form_.btnSend->isEnabled());
  }
}

TEST_F(FeedbackFormTest, APickedFileThatVanishedIsReportedAndNothingSent) {
  LoopbackServer server([](const HttpRequest&) { return HttpAnswer::Ok("Script Completed"); });
  ScopedServerVariable variable(server.HostAndPort());
  WriteWholeFile(dir_.File("notes.txt"), "x");
  ShowForm();
  FillIn();
  desktop_.picked_file = Q(dir_.File("notes.txt"));
  form_.btnSendFileClick();
  std::filesystem::remove(dir_.File("notes.txt"));
  EXPECT_EQ(form_.Upload(), kUploadNotSent);
  EXPECT_TRUE(server.Requests().isEmpty());
  ASSERT_EQ(desktop_.boxes.size(), 1u);
  EXPECT_EQ(desktop_.boxes[0].text,
            "Error sending the file \"notes.txt\". \nThe file is empty or can't be found on the "
            "system.\n\nPlease check your file name and try again.");
  EXPECT_EQ(desktop_.boxes[0].caption, "Error Reading File");
  EXPECT_EQ(desktop_.boxes[0].icon, BoxIcon::kError);

  // Picking a file that is gone by then says so too.
  form_.btnSendFileClick();
  EXPECT_EQ(form_.edSendFile->text(), "");
  ASSERT_EQ(desktop_.boxes.size(), 2u);
  EXPECT_EQ(desktop_.boxes[1].text, desktop_.boxes[0].text);
}

// The progress bar shows only for bodies above 2097152 bytes: the server
// notes whether it was visible while the body came in.
TEST_F(FeedbackFormTest, ProgressShowsOnlyAbove2Megabytes) {
  bool bar_seen = false;
  LoopbackServer server([](const HttpRequest&) { return HttpAnswer::Ok("Script Completed"); });
  server.on_bytes = [&](qint64) { bar_seen = bar_seen || form_.pbWeb->isVisible(); };
  ScopedServerVariable variable(server.HostAndPort());
  const std::string file = dir_.File("data.bin");
  auto send_file_of = [&](qint64 size) {
    MakeFileOfSize(file, size);
    ShowForm();
    FillIn();
    desktop_.picked_file = Q(file);
    form_.btnSendFileClick();
    bar_seen = false;
    form_.btnSendClick();
    return server.Requests().back().body.size();
  };
  // What the fields and headers add to the file, to size the body exactly.
  const qint64 overhead = send_file_of(100) - 100;
  EXPECT_FALSE(bar_seen);
  EXPECT_EQ(send_file_of(2097152 - overhead), 2097152);
  EXPECT_FALSE(bar_seen);
  EXPECT_EQ(send_file_of(2097153 - overhead), 2097153);
  EXPECT_TRUE(bar_seen);
  EXPECT_FALSE(form_.pbWeb->isVisible());  // hidden when the body is out
}

TEST_F(FeedbackFormTest, ClosingTheWindowEndsTheUploadWithoutAMessage) {
  form_.Client().SetTimeLimitMs(10000);
  LoopbackServer server([](const HttpRequest&) { return HttpAnswer::Silent(); });
  ScopedServerVariable variable(server.HostAndPort());
  ShowForm();
  FillIn();
  server.on_bytes = [&](qint64) { QTimer::singleShot(50, &form_, [&] { form_.close(); }); };
  QElapsedTimer elapsed;
  elapsed.start();
  form_.btnSendClick();
  EXPECT_LT(elapsed.elapsed(), 5000);
  EXPECT_FALSE(form_.isVisible());
  EXPECT_TRUE(desktop_.boxes.empty());
  EXPECT_TRUE(form_.btnSend->isEnabled());
  EXPECT_EQ(form_.LastError().isEmpty(), false);
}

TEST_F(FeedbackFormTest, OpeningChecksTheServerAndTrimsTheLog) {
  DiagLog log;
  const std::string log_file = dir_.File("Pumatic Firmware Updater.errors.txt");
  CreateDiagLog(&log, log_file.c_str(), kLogProgress, false);
  std::string lines;
  for (int i = 0; i < 1000; ++i)
    lines += "7 Dec 2026 9:05:03 - HalvBSL: line " + std::to_string(i) + "\r\n";
  WriteWholeFile(log_file, lines);
  setup_.log_files[0] = Q(log_file);

  LoopbackServer server([](const HttpRequest&) { return HttpAnswer::Ok("<html></html>"); });
  {
    ScopedServerVariable variable(server.HostAndPort());
    EXPECT_TRUE(form_.LaunchFeedback(setup_, &log));
  }
  ASSERT_EQ(server.Requests().size(), 1);
  EXPECT_EQ(server.Requests()[0].request_line, "GET / HTTP/1.1");
  EXPECT_TRUE(form_.isVisible());
  EXPECT_LE(std::filesystem::file_size(log_file), 32768u);
  EXPECT_NE(ReadWholeFile(log_file).find("line 999\r\n"), std::string::npos);
  form_.close();

  // An empty log is noted; a server that cannot be reached keeps the window shut.
  std::filesystem::remove(log_file);
  server.StopListening();
  {
    ScopedServerVariable variable(server.HostAndPort());
    EXPECT_FALSE(form_.LaunchFeedback(setup_, &log));
  }
  EXPECT_FALSE(form_.isVisible());
  EXPECT_NE(ReadWholeFile(log_file).find("Pumatic Firmware Updater: Launching web feedback with "
                                         "an empty error file."),
            std::string::npos);
  ASSERT_EQ(desktop_.boxes.size(), 1u);
  EXPECT_TRUE(desktop_.boxes[0].text.startsWith(
      "Error connecting to QUORRIN Group's customer feedback internet service.\n\n"
      "This feature requires your computer to be connected to the internet\n"
      "and be able to contact QUORRIN Group's Web Site (www.quorrin.example)."
      "\n\nPlease make a connection to the internet and try again.\n\nError: "))
      << desktop_.boxes[0].text.toStdString();
  EXPECT_EQ(desktop_.boxes[0].caption, "Internet Access Error");
  EXPECT_EQ(desktop_.boxes[0].icon, BoxIcon::kError);
}

}  // namespace
}  // namespace halv::test
