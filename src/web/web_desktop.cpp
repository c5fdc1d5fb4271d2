#include "web/web_desktop.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>

namespace halv {
namespace {

QMessageBox::Icon ToQtIcon(BoxIcon icon) {
  switch (icon) {
    case BoxIcon::kInformation:
      return QMessageBox::Information;
    case BoxIcon::kWarning:
      return QMessageBox::Warning;
    case BoxIcon::kError:
      return QMessageBox::Critical;
  }
  return QMessageBox::NoIcon;
}

// Runs the box modally over the parent; returns the button pressed.
QMessageBox::StandardButton RunBox(QWidget* parent, const QString& text, const QString& caption,
                                   BoxIcon icon, QMessageBox::StandardButtons buttons,
                                   QMessageBox::StandardButton default_button) {
  QMessageBox box(ToQtIcon(icon), caption, text, buttons, parent);
  box.setDefaultButton(default_button);
  box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
  QApplication::beep();
  return static_cast<QMessageBox::StandardButton>(box.exec());
}

}  // namespace

void QtWebDesktop::ShowMessage(const QString& text, const QString& caption, BoxIcon icon) {
  RunBox(parent_, text, caption, icon, QMessageBox::Ok, QMessageBox::Ok);
}

bool QtWebDesktop::AskYesNo(const QString& text, const QString& caption, BoxIcon icon) {
  return RunBox(parent_, text, caption, icon, QMessageBox::Yes | QMessageBox::No,
                QMessageBox::Yes) == QMessageBox::Yes;
}

bool QtWebDesktop::OpenInBrowser(const QUrl& link) {
  return QDesktopServices::openUrl(link);
}

QString QtWebDesktop::PickFile(const QString& title, const QString& folder, const QString& filter) {
  return QFileDialog::getOpenFileName(parent_, title, folder, filter);
}

}  // namespace halv
