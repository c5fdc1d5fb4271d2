// The web tests need a QApplication: they run on the offscreen platform, talk
// only to their own servers on 127.0.0.1 (never through a proxy), and keep
// the remembered feedback fields in a folder of their own.
#include <gtest/gtest.h>

#include <QApplication>
#include <QNetworkProxy>
#include <QSettings>
#include <QTemporaryDir>
#include <cstdio>

namespace {

// The offscreen platform warns of every window feature it lacks; the rest
// of the toolkit's messages still show.
QtMessageHandler toolkit_handler = nullptr;

void DropPlatformNoise(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (text.startsWith(QLatin1String("This plugin does not support"))) return;
  if (toolkit_handler != nullptr) {
    toolkit_handler(type, context, text);
  } else {
    fprintf(stderr, "%s\n", qPrintable(text));
  }
}

}  // namespace

int main(int argc, char** argv) {
  toolkit_handler = qInstallMessageHandler(DropPlatformNoise);
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
