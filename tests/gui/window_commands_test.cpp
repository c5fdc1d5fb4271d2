// The message boxes, the firmware file, help and about.

#include "app/error_report.h"
#include "app/instrument_updater.h"
#include "bsl/host_bsl.h"
#include "protocol/device_kinds.h"
#include "window_fixture.h"

namespace halv::test {
namespace {

using CommandsTest = WindowTest;

TEST_F(CommandsTest, MessageBoxesByKindAreLoggedAfterTheyClose) {
  ports.ports = {{"ttyUSB0", "ttyUSB0"}};
  Open();
  struct Case {
    MessageKind kind;
    QMessageBox::Icon icon;
  };
  const Case cases[] = {
      {kMessageWarning, QMessageBox::Warning},
      {kMessageError, QMessageBox::Critical},
      {kMessageInformation, QMessageBox::Information},
      {kMessageConfirmation, QMessageBox::Question},
      {kMessageCustom, QMessageBox::NoIcon},
      {static_cast<MessageKind>(9), QMessageBox::NoIcon},
  };
  for (const Case& c : cases) {
    answerer.boxes.clear();
    ShowErrorMessage(window.get(), window->Log(), "Line one\nline two <b>", "Caption", c.kind);
    ASSERT_EQ(answerer.boxes.size(), 1u);
    const SeenBox& box = answerer.boxes[0];
    EXPECT_EQ(box.icon, c.icon) << c.kind;
    EXPECT_EQ(box.text, "Line one\nline two <b>");
    EXPECT_EQ(box.caption, "Caption");
    EXPECT_EQ(box.buttons, 1);
    EXPECT_TRUE(box.on_top);
  }
  EXPECT_NE(ErrorLog().find("ErrorOK Told User:: Line one\nline two <b>"), std::string::npos);
}

TEST_F(CommandsTest, QuestionIsOkOnlyForOk) {
  ports.ports = {{"ttyUSB0", "ttyUSB0"}};
  Open();
  answerer.answers = {Answer::kOk, Answer::kCancel, Answer::kClose};
  EXPECT_TRUE(window->AskOkCancel("Go on?", "Newer Firmware"));
  EXPECT_FALSE(window->AskOkCancel("Go on?", "Newer Firmware"));
  EXPECT_FALSE(window->AskOkCancel("Go on?", "Newer Firmware"));  // closed is Cancel
  ASSERT_EQ(answerer.boxes.size(), 3u);
  EXPECT_EQ(answerer.boxes[0].icon, QMessageBox::Warning);
  EXPECT_EQ(answerer.boxes[0].buttons, 2);
  answerer.answers = {Answer::kClose};
  EXPECT_TRUE(window->ShowNotice("Wait", "Don't Quit Now!"));  // its only button is OK
  EXPECT_EQ(ErrorLog().find("Go on?"), std::string::npos);     // questions are not logged
}

TEST_F(CommandsTest, HelpAndAbout) {
  ports.ports = {{"ttyUSB0", "ttyUSB0"}};
  Open();
  Entry("Help2")->trigger();
  Entry("About1")->trigger();
  ASSERT_EQ(answerer.boxes.size(), 2u);
  EXPECT_EQ(answerer.boxes[0].caption, "Help");
  EXPECT_EQ(answerer.boxes[0].icon, QMessageBox::NoIcon);
  // A Pumatic does not warn about erasing: no warning paragraph.
  EXPECT_EQ(answerer.boxes[0].text.find("will erase any stored"), std::string::npos);
  EXPECT_EQ(answerer.boxes[0].text.rfind("The Pumatic Firmware Updater replaces", 0), 0u);
  EXPECT_EQ(answerer.boxes[1].caption, "About Pumatic Firmware Updater");
  EXPECT_EQ(answerer.boxes[1].icon, QMessageBox::Information);
  EXPECT_EQ(
      answerer.boxes[1].text.rfind("Firmware Updater for Linux\n\nHalvBSL Engine version ", 0), 0u);
  EXPECT_NE(answerer.boxes[1].text.find("\nCommunication Protocol version 1.8.4\n\n"),
            std::string::npos);
  EXPECT_NE(ErrorLog().find("ErrorOK Told User:: Firmware Updater for Linux"), std::string::npos);
}

TEST_F(CommandsTest, KindThatErasesWarnsAtStartUpUnlessAFileMayBeOpened) {
  ports.ports = {{"ttyUSB0", "ttyUSB0"}};
  build_kind = 7;
  DeviceInfo kind;
  LookupDeviceKind(build_kind, 0, &kind);
  const std::string device = kind.kind_name.c_str();
  Open();
  EXPECT_TRUE(Find<QTimer>("timerEraseWarn")->isActive());
  EXPECT_FALSE(Find<QTimer>("tWebCheck")->isActive());
  ASSERT_TRUE(WaitUntil([&] { return !answerer.boxes.empty(); }));
  EXPECT_EQ(answerer.boxes[0].caption, "Data Erase Warning");
  EXPECT_EQ(answerer.boxes[0].icon, QMessageBox::Warning);
  EXPECT_EQ(answerer.boxes[0].text, "WARNING: The " + device +
                                        " Firmware Updater will erase all measurement data\n "
                                        "stored in your " +
                                        device +
                                        ".\n\n Please download any data you want to save before "
                                        "continuing.");
  EXPECT_TRUE(Find<QTimer>("tWebCheck")->isActive());  // the version check follows
  Entry("Help2")->trigger();
  ASSERT_EQ(answerer.boxes.size(), 2u);
  EXPECT_NE(answerer.boxes[1].text.find("WARNING: Updating the firmware in your " + device +
                                        " will erase any stored measurement data.\n"),
            std::string::npos);

  for (const char* file_switch : {"-rep", "-factory"}) {
    Open({file_switch});
    EXPECT_FALSE(Find<QTimer>("timerEraseWarn")->isActive()) << file_switch;
    EXPECT_TRUE(Find<QTimer>("tWebCheck")->isActive()) << file_switch;
  }
}

TEST_F(CommandsTest, OpenDialogAsConfigured) {
  ports.ports = {{"ttyUSB0", "ttyUSB0"}};
  Open({"-rep"});
  QString title;
  QStringList filters;
  QFileDialog::FileMode mode = QFileDialog::AnyFile;
  answerer.on_file_dialog = [&](QFileDialog* dialog) {
    title = dialog->windowTitle();
    filters = dialog->nameFilters();
    mode = dialog->fileMode();
    return false;
  };
  Entry("OpenFirmwareFile1")->trigger();
  EXPECT_EQ(title, "Please select a firmware file");
  EXPECT_EQ(filters, QStringList({"Firmware File (*.txt)", "Any File (*)"}));
  EXPECT_EQ(mode, QFileDialog::ExistingFile);
  EXPECT_EQ(LabelText("userText2"), "Pumatic 1.06");  // cancelled: nothing changed
}

TEST_F(CommandsTest, HiddenDumpEntryAnswersItsShortcut) {
  ports.ports = {{"ttyUSB0", "ttyUSB0"}};
  Open();
  QApplication::setActiveWindow(window.get());
  const std::string file = dir.File("dump.txt");
  QString title;
  answerer.on_file_dialog = [&](QFileDialog* dialog) {
    title = dialog->windowTitle();
    EXPECT_EQ(dialog->defaultSuffix(), "txt");
    EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
    dialog->selectFile(QString::fromStdString(file));
    static_cast<QDialog*>(dialog)->accept();  // through the public slot
    return true;
  };
  QTest::keyClick(window.get(), Qt::Key_D, Qt::ControlModifier | Qt::AltModifier);
  EXPECT_EQ(title, "Save Firmware Image");
  EXPECT_EQ(ReadWholeFile(file).rfind("@", 0), 0u);  // a TI-Text file
  EXPECT_TRUE(answerer.boxes.empty());
}

TEST_F(CommandsTest, FirmwareFileForAnotherKindRetargetsAllButTheCaption) {
  ports.ports = {{"ttyUSB0", "ttyUSB0"}};
  Open({"-rep"});
  DeviceInfo thermik;
  LookupDeviceKind(7, 0, &thermik);
  const std::string name = thermik.kind_name.c_str();
  const std::string file = dir.File(std::string(DeviceKindModelCode(7)) + "-2-01.txt");
  WriteWholeFile(file, ReadWholeFile(HALV_SOURCE_DIR "/tools/image/pumatic-1.06.txt"));

  ASSERT_EQ(window->LoadFirmwareFile(file), 1);
  EXPECT_EQ(window->windowTitle(), "Pumatic Firmware Updater");
  EXPECT_EQ(window->Updater()->settings.device_name, name);
  EXPECT_EQ(window->Updater()->settings.UpdaterName(), "Pumatic Firmware Updater");
  EXPECT_EQ(window->Updater()->settings.updater_firmware_version, 201u);
  EXPECT_EQ(LabelText("userText1").toStdString(), "This utility updates " + name + " firmware to");
  EXPECT_EQ(LabelText("commLabel").toStdString(), "Connect to " + name + " with Comm Port");
  EXPECT_EQ(LabelText("lblConnect").toStdString(), "Connect " + name + " to computer comm port.");
  EXPECT_EQ(LabelText("userText2").toStdString(), window->Host()->image_name.c_str());
  EXPECT_TRUE(Find<QPushButton>("btnStart")->isEnabled());
  EXPECT_TRUE(answerer.boxes.empty());
}

TEST_F(CommandsTest, BadFirmwareFilesShowTheirFileErrorAndKeepTheImage) {
  ports.ports = {{"ttyUSB0", "ttyUSB0"}};
  Open({"-factory"});
  const std::string bad = dir.File("bad.txt");
  WriteWholeFile(bad, "@zz\nnot a firmware file\n");
  const std::string missing = dir.File("missing.txt");
  struct Case {
    std::string path;
    std::string text;
  };
  const Case cases[] = {
      {bad,
       "The file \"bad.txt\" is not a valid firmware file.\n"
       "Please choose a new firmware file to open."},
      {missing,
       "The Pumatic Firmware Updater could not opening \"missing.txt\".\nPlease try "
       "again.\nError "},
  };
  for (const Case& c : cases) {
    answerer.boxes.clear();
    EXPECT_LT(window->LoadFirmwareFile(c.path), 0) << c.path;
    ASSERT_EQ(answerer.boxes.size(), 1u) << c.path;
    EXPECT_EQ(answerer.boxes[0].caption, "File Error");
    EXPECT_EQ(answerer.boxes[0].icon, QMessageBox::Critical);
    EXPECT_EQ(answerer.boxes[0].text.substr(0, c.text.size()), c.text);
    EXPECT_EQ(LabelText("userText2"), "Pumatic 1.06");
    EXPECT_EQ(window->Updater()->settings.device_name, "Pumatic");
  }
}

TEST_F(CommandsTest, WebEntriesReachTheWebLayer) {
  ports.ports = {{"ttyUSB0", "ttyUSB0"}};
  Open();
  // The quiet check after start-up says nothing when the server is not there.
  ASSERT_TRUE(WaitUntil([&] { return !Find<QTimer>("tWebCheck")->isActive(); }));
  QTest::qWait(50);
  EXPECT_TRUE(answerer.boxes.empty());
  Entry("CheckNewerFirmware1")->trigger();
  ASSERT_EQ(answerer.boxes.size(), 1u);
  EXPECT_EQ(answerer.boxes[0].caption, "Version Check Error");
  Entry("SendFeedback1")->trigger();
  ASSERT_EQ(answerer.boxes.size(), 2u);
  EXPECT_EQ(answerer.boxes[1].caption, "Internet Access Error");
}

}  // namespace
}  // namespace halv::test
