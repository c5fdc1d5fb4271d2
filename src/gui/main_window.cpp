#include "gui/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>

#include "app/instrument_updater.h"
#include "app/sensor_updater.h"
#include "bsl/host_bsl.h"
#include "gui/message_boxes.h"
#include "protocol/instrument.h"

// The icons are compiled into the library; a static library needs them
// registered by name.
static void InitResources() {
  Q_INIT_RESOURCE(halvbsl);
}

namespace halv::gui {

void PortComboBox::showPopup() {
  Q_EMIT dropDown();
  QComboBox::showPopup();
}

TfrmMain::TfrmMain(MainWindowSetup setup, QWidget* parent)
    : QMainWindow(parent), setup_(std::move(setup)) {
  InitResources();
  setObjectName("frmMain");
  // A fixed single border with the system menu and the close button only.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  QFont font("Sans Serif", 8);
  font.setStyleHint(QFont::SansSerif);
  setFont(font);
  setWindowIcon(QIcon(":/halvbsl/halvbsl-256.png"));
  BuildControls();
  BuildMenus();
  BuildTimers();
  adjustSize();
  setFixedSize(sizeHint());
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
}

TfrmMain::~TfrmMain() {
  DestroyFeedbackWindow();
  if (busy_cursor_) QApplication::restoreOverrideCursor();
}

void TfrmMain::ShowStatus(const std::string& text) {
  statusText->setText(QString::fromStdString(text));
  statusText->adjustSize();
  statusText->show();
  statusText->repaint();
}

void TfrmMain::HideStatus() {
  statusText->hide();
}

void TfrmMain::SetConnectLabel(const std::string& text) {
  lblConnect->setText(QString::fromStdString(text));
  lblConnect->adjustSize();
  lblConnect->repaint();
}

void TfrmMain::SetProgress(int position) {
  statusBar->setValue(position < 0 ? 0 : position > 100 ? 100 : position);
}

int TfrmMain::Progress() const {
  return statusBar->value();
}

void TfrmMain::ShowMessageBox(const std::string& text, const std::string& caption,
                              MessageKind kind) {
  gui::ShowMessageBox(this, QString::fromStdString(text), QString::fromStdString(caption), kind);
}

bool TfrmMain::AskOkCancel(const std::string& text, const std::string& caption) {
  return gui::AskOkCancel(this, QString::fromStdString(text), QString::fromStdString(caption));
}

bool TfrmMain::ShowNotice(const std::string& text, const std::string& caption) {
  return gui::ShowNotice(this, QString::fromStdString(text), QString::fromStdString(caption));
}

void TfrmMain::ProcessEvents() {
  QCoreApplication::processEvents();
}

void TfrmMain::InformationBeep() {
  QApplication::beep();
}

void TfrmMain::SetBusyCursor(bool busy) {
  if (busy == busy_cursor_) return;
  busy_cursor_ = busy;
  if (busy) {
    QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
  } else {
    QApplication::restoreOverrideCursor();
  }
}

UpdateSettings* TfrmMain::RunSettings() const {
  if (sensor_updater_ != nullptr) return &sensor_updater_->settings;
  if (updater_ != nullptr) return &updater_->settings;
  return nullptr;
}

bool TfrmMain::RunBusy() const {
  if (sensor_updater_ != nullptr) return sensor_updater_->Busy();
  return updater_ != nullptr && updater_->Busy();
}

bool TfrmMain::RunConfirmQuit() {
  if (sensor_updater_ != nullptr) return sensor_updater_->ConfirmQuit();
  return updater_ == nullptr || updater_->ConfirmQuit();
}

void TfrmMain::RunUpdate() {
  if (sensor_updater_ != nullptr) {
    sensor_updater_->Run();
  } else if (updater_ != nullptr) {
    updater_->Run();
  }
}

std::string TfrmMain::UpdaterName() const {
  return windowTitle().toStdString();
}

std::string TfrmMain::DeviceName() const {
  const UpdateSettings* settings = RunSettings();
  return settings != nullptr ? settings->device_name : std::string();
}

void TfrmMain::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (shown_) return;
  shown_ = true;
  FormShow();
}

void TfrmMain::closeEvent(QCloseEvent* event) {
  // Every way of closing (the Close button, Exit, the title bar, Alt+F4)
  // passes the quit guard: a busy run is not interrupted.
  if (!RunConfirmQuit()) {
    event->ignore();
    return;
  }
  if (shown_) FormClose();
  event->accept();
}

void TfrmMain::keyPressEvent(QKeyEvent* event) {
  // Enter presses the default button, Escape the cancel button (Close).
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    for (QPushButton* button : {btnStart, btnClose}) {
      if (button->isDefault() && button->isEnabled()) {
        button->click();
        return;
      }
    }
  } else if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    if (btnClose->isEnabled()) btnClose->click();
    return;
  }
  QMainWindow::keyPressEvent(event);
}

}  // namespace halv::gui
