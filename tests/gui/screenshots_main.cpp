// gui_screenshots OUT_DIR [PORT]: shows the window on a simulated Pumatic and
// saves pictures of it: idle, a run in progress, the success state and an
// error box. Without PORT the device is simulated in process on virtual time;
// with PORT (halvsim's pseudo-terminal) the run goes over that port in real
// time. tools/screenshots.sh runs it on a virtual X display; on the offscreen
// platform the window is drawn without the screen around it.
#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>

#include "app/build_product.h"
#include "app/instrument_updater.h"
#include "gui/main_window.h"
#include "serial/clock.h"
#include "serial/script_port.h"
#include "sim/sim_port_backend.h"

namespace halv {
namespace {

QString g_out_dir;

// The part of the screen that holds the visible windows, or the window's own
// drawing where there is no screen to grab.
void Save(QWidget* window, const char* name) {
  QPixmap picture;
  if (QGuiApplication::platformName() == "xcb") {
    QRect area;
    for (QWidget* top : QApplication::topLevelWidgets()) {
      if (top->isVisible()) area = area.united(top->frameGeometry());
    }
    area.adjust(-8, -8, 8, 8);
    picture = QGuiApplication::primaryScreen()->grabWindow(0, area.x(), area.y(), area.width(),
                                                           area.height());
  } else {
    picture = window->grab();
  }
  const QString path = QDir(g_out_dir).filePath(QString(name) + ".png");
  if (!picture.save(path)) {
    fprintf(stderr, "gui_screenshots: could not save %s\n", qPrintable(path));
    return;
  }
  printf("%s\n", qPrintable(path));
}

void Wait(const std::function<bool()>& done, int timeout_ms) {
  for (int waited = 0; waited < timeout_ms && !done(); waited += 10) QTest::qWait(10);
}

gui::PortLister OnePort(const char* name, const char* display) {
  return [name, display](bool, PortEntry* entries, int32_t, int32_t* count) {
    entries[0].port_name.Assign(name);
    entries[0].display_text.Assign(display);
    *count = 1;
    return 1;
  };
}

std::unique_ptr<gui::TfrmMain> ShowWindow(gui::PortLister lister) {
  gui::MainWindowSetup setup;
  setup.arguments = {"halvbsl"};
  setup.port_lister = std::move(lister);
  auto window = std::make_unique<gui::TfrmMain>(std::move(setup));
  window->show();
  QTest::qWait(400);
  return window;
}

int Main(const char* port) {
  // In process the run goes on virtual time, so the device answers at once.
  VirtualClock clock;
  std::optional<ScopedClock> use_clock;
  sim::SimDevice device(*sim::FindDeviceProfile("pumatic"));
  sim::SimPortBackend backend(device, "SIM1");
  std::optional<ScopedPortBackend> use_backend;
  if (port == nullptr) {
    use_clock.emplace(&clock);
    backend.Listen(&clock);
    use_backend.emplace(&backend);
  }

  auto window = ShowWindow(port == nullptr ? OnePort("SIM1", "SIM1 (simulated Pumatic)")
                                           : OnePort(port, port));
  Save(window.get(), "idle");

  // Half-way through the upload: the picture is taken from inside the run.
  bool running_saved = false;
  QTimer during;
  QObject::connect(&during, &QTimer::timeout, [&] {
    auto* bar = window->findChild<QProgressBar*>("statusBar");
    if (!running_saved && window->Updater()->Busy() && bar->value() >= 50) {
      running_saved = true;
      window->repaint();
      QTest::qWait(300);  // the display catches up; the run waits meanwhile
      Save(window.get(), "running");
    }
  });
  during.start(0);
  window->findChild<QPushButton*>("btnStart")->click();
  QTest::qWait(200);
  Wait([&] { return !window->Updater()->Busy(); }, 600000);
  during.stop();
  QTest::qWait(400);
  Save(window.get(), "success");
  window->hide();

  // An error box: the port has gone.
  auto failing = ShowWindow(OnePort("ttyUSB9", "ttyUSB9 (USB Serial Port)"));
  QTimer answer;
  QObject::connect(&answer, &QTimer::timeout, [&] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      answer.stop();
      QTest::qWait(400);
      Save(failing.get(), "error");
      box->button(QMessageBox::Ok)->click();
    }
  });
  answer.start(20);
  failing->findChild<QPushButton*>("btnStart")->click();
  Wait([&] { return !answer.isActive() && !failing->Updater()->Busy(); }, 30000);
  failing->hide();
  return 0;
}

}  // namespace
}  // namespace halv

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  // The start-up version check stays off the network.
  qputenv("HALVBSL_SERVER", "no-server/");
  if (argc < 2) {
    fprintf(stderr, "usage: gui_screenshots OUT_DIR [PORT]\n");
    return 2;
  }
  if (halv::kSensorBuild) {
    fprintf(stderr, "gui_screenshots: the pictures are of the Pumatic updater (preset default)\n");
    return 2;
  }
  halv::g_out_dir = QString::fromLocal8Bit(argv[1]);
  QDir().mkpath(halv::g_out_dir);
  return halv::Main(argc > 2 ? argv[2] : nullptr);
}
