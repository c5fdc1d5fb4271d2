// halvbsl: the firmware updater's desktop window.
#include <QApplication>
#include <string>
#include <vector>

#include "gui/main_window.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("HalvBSL");
  QGuiApplication::setDesktopFileName(HALV_DESKTOP_FILE_NAME);
  halv::gui::MainWindowSetup setup;
  // The switches are read from the command line as given; the toolkit's own
  // options have been taken out by now, and nothing else is looked at.
  for (const QString& argument : QCoreApplication::arguments()) {
    setup.arguments.push_back(argument.toStdString());
  }
  halv::gui::TfrmMain window(std::move(setup));
  window.show();
  return QApplication::exec();
}
