#include "gui/message_boxes.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace halv::gui {
namespace {

QMessageBox::Icon IconOf(MessageKind kind) {
  switch (kind) {
    case kMessageWarning:
      return QMessageBox::Warning;
    case kMessageError:
      return QMessageBox::Critical;
    case kMessageInformation:
      return QMessageBox::Information;
    case kMessageConfirmation:
      return QMessageBox::Question;
    default:
      return QMessageBox::NoIcon;  // the help text
  }
}

// A box of the updater's look: caption, text shown as typed (line breaks
// kept, nothing read as markup), on top of other windows.
void Prepare(QMessageBox* box, const char* name, const QString& text, const QString& caption,
             QMessageBox::Icon icon) {
  box->setObjectName(name);
  box->setWindowTitle(caption);
  box->setTextFormat(Qt::PlainText);
  box->setText(text);
  box->setIcon(icon);
  box->setWindowFlag(Qt::WindowStaysOnTopHint, true);
  // The desktop has one system sound; each kind's own sound is not offered.
  QApplication::beep();
}

}  // namespace

void ShowMessageBox(QWidget* parent, const QString& text, const QString& caption,
                    MessageKind kind) {
  QMessageBox box(parent);
  Prepare(&box, kMessageBoxName, text, caption, IconOf(kind));
  box.setStandardButtons(QMessageBox::Ok);
  box.setDefaultButton(QMessageBox::Ok);
  box.exec();
}

bool AskOkCancel(QWidget* parent, const QString& text, const QString& caption) {
  QMessageBox box(parent);
  Prepare(&box, kQuestionBoxName, text, caption, QMessageBox::Warning);
  box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
  box.setDefaultButton(QMessageBox::Ok);
  box.setEscapeButton(QMessageBox::Cancel);
  return box.exec() == QMessageBox::Ok;
}

bool ShowNotice(QWidget* parent, const QString& text, const QString& caption) {
  QMessageBox box(parent);
  Prepare(&box, kNoticeBoxName, text, caption, QMessageBox::Warning);
  box.setStandardButtons(QMessageBox::Ok);
  box.setDefaultButton(QMessageBox::Ok);
  return box.exec() == QMessageBox::Ok;
}

}  // namespace halv::gui
