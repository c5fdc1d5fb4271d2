// The web tests need a QApplication: they run on the offscreen platform, talk
// only to their own servers on 127.0.0.1 (never through a proxy), and keep
// the remembered feedback fields in a folder of their own.
#include <gtest/gtest.h>

#include <QApplication>
#include <QNetworkProxy>
#include <QSettings>
#include <QTemporaryDir>

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  qunsetenv("HALVBSL_SERVER");
  QApplication app(argc, argv);
  QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
  QTemporaryDir settings_folder;
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings_folder.path());
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings_folder.path());
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
