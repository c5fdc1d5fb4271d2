// The window's modal boxes: the message box of every error and notice (one
// OK button, the icon of its kind), the OK/Cancel question and the quit
// notice. All are centred on the main window, stay on top and beep.
#pragma once

#include <QString>

#include "app/update_window.h"

class QWidget;

namespace halv::gui {

// Object names the boxes carry, so that tests and scripts can find them.
inline constexpr const char* kMessageBoxName = "halvMessageBox";
inline constexpr const char* kQuestionBoxName = "halvQuestionBox";
inline constexpr const char* kNoticeBoxName = "halvNoticeBox";

void ShowMessageBox(QWidget* parent, const QString& text, const QString& caption, MessageKind kind);
// True for OK; Cancel, Escape and closing the box are Cancel.
bool AskOkCancel(QWidget* parent, const QString& text, const QString& caption);
// True when the box was left with OK (its only button).
bool ShowNotice(QWidget* parent, const QString& text, const QString& caption);

}  // namespace halv::gui
