// The window under test on the offscreen platform: a fresh settings store
// and data folder per test, a port list the test decides, and a box answerer
// that records every modal box and answers it as told.
#pragma once

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "gui/main_window.h"
#include "gui/remembered_settings.h"
#include "support/temp_dir.h"

namespace halv::test {

// One QApplication for the whole test program, on the offscreen platform.
inline QApplication& TestApp() {
  static int argc = 1;
  static char name[] = "gui_test";
  static char* argv[] = {name, nullptr};
  static QApplication* app = [] {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    return new QApplication(argc, argv);
  }();
  return *app;
}

// How the answerer leaves a box.
enum class Answer { kOk, kCancel, kClose };

struct SeenBox {
  std::string name;  // the box's object name
  std::string caption;
  std::string text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  bool on_top = false;
  int buttons = 0;
};

// Watches for modal boxes and answers them: OK unless the queue says
// otherwise. File dialogs are recorded and cancelled.
class BoxAnswerer : public QObject {
 public:
  BoxAnswerer() {
    timer_.setInterval(5);
    QObject::connect(&timer_, &QTimer::timeout, this, [this] { Look(); });
    timer_.start();
  }

  std::deque<Answer> answers;
  std::vector<SeenBox> boxes;
  // Sees each file dialog; true when it answered the dialog itself.
  std::function<bool(QFileDialog*)> on_file_dialog;

 private:
  void Look() {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr) return;
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
      SeenBox seen;
      seen.name = box->objectName().toStdString();
      seen.caption = box->windowTitle().toStdString();
      seen.text = box->text().toStdString();
      seen.icon = box->icon();
      seen.on_top = (box->windowFlags() & Qt::WindowStaysOnTopHint) != 0;
      seen.buttons = static_cast<int>(box->buttons().size());
      boxes.push_back(seen);
      Answer answer = Answer::kOk;
      if (!answers.empty()) {
        answer = answers.front();
        answers.pop_front();
      }
      if (answer == Answer::kOk) {
        box->button(QMessageBox::Ok)->click();
      } else if (answer == Answer::kCancel) {
        box->button(QMessageBox::Cancel)->click();
      } else {
        box->close();
      }
    } else if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
      if (!on_file_dialog || !on_file_dialog(dialog)) dialog->reject();
    }
  }

  QTimer timer_;
};

// Fills the port list the window asks for.
struct FakePorts {
  struct Port {
    std::string name;
    std::string display;
  };
  std::vector<Port> ports;
  std::optional<int32_t> result;  // none: the number of ports
  int calls = 0;

  gui::PortLister Lister() {
    return [this](bool, PortEntry* entries, int32_t capacity, int32_t* count) {
      ++calls;
      int32_t n = 0;
      for (const Port& p : ports) {
        if (n >= capacity) break;
        entries[n].port_name.Assign(p.name.c_str());
        entries[n].display_text.Assign(p.display.c_str());
        ++n;
      }
      *count = n;
      return result ? *result : n;
    };
  }
};

class WindowTest : public ::testing::Test {
 protected:
  WindowTest() {
    setenv("XDG_DATA_HOME", dir.File("data").c_str(), 1);
    // No software server: the web requests fail at once, never on the network.
    setenv("HALVBSL_SERVER", "no-server/", 1);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       QString::fromStdString(dir.File("config")));
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope,
                       QString::fromStdString(dir.File("config")));
  }
  ~WindowTest() override {
    if (window != nullptr) {
      window->hide();
      window.reset();
    }
  }

  // Creates and shows the window with these arguments after the program name.
  void Open(std::vector<std::string> arguments = {}) {
    gui::MainWindowSetup setup;
    setup.arguments.push_back("halvbsl");
    for (std::string& a : arguments) setup.arguments.push_back(std::move(a));
    setup.port_lister = ports.Lister();
    setup.program_folder = dir.Path().string();
    setup.build_kind = build_kind;
    setup.sensor_build = sensor_build;
    setup.sensor_type = sensor_type;
    window = std::make_unique<gui::TfrmMain>(std::move(setup));
    window->show();
  }

  // The remembered values as a user left them.
  void Remember(const char* key, const QVariant& value) {
    QSettings store(gui::kSettingsOrganisation, gui::kSettingsApplication);
    store.setValue(key, value);
  }
  QVariant Stored(const char* key) {
    QSettings store(gui::kSettingsOrganisation, gui::kSettingsApplication);
    return store.value(key);
  }

  template <typename T>
  T* Find(const char* name) {
    T* child = window->findChild<T*>(name);
    EXPECT_NE(child, nullptr) << name;
    return child;
  }
  QAction* Entry(const char* name) { return Find<QAction>(name); }
  QString LabelText(const char* name) { return Find<QLabel>(name)->text(); }

  // Lets the window work until the condition holds (or the time is up).
  static bool WaitUntil(const std::function<bool()>& done, int timeout_ms = 30000) {
    for (int waited = 0; waited < timeout_ms; waited += 10) {
      if (done()) return true;
      QTest::qWait(10);
    }
    return done();
  }

  std::string ErrorLog() const {
    return ReadWholeFile(dir.File("data") + "/Halvard/HalvBSL/Pumatic Firmware Updater.errors.txt");
  }
  std::string SettingsFile() const {
    return dir.File("data") + "/Halvard/HalvBSL/Pumatic.settings.txt";
  }

  // The application exists before any timer does.
  struct AppFirst {
    AppFirst() { TestApp(); }
  } app_first;
  TempDir dir;
  FakePorts ports;
  int build_kind = kKindPumatic;
  bool sensor_build = false;  // the digital-sensor updater's window
  int32_t sensor_type = 93;
  BoxAnswerer answerer;
  std::unique_ptr<gui::TfrmMain> window;
};

}  // namespace halv::test
