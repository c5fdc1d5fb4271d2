// What the web services ask of the desktop: message boxes, the user's web
// browser and a file picker. The window uses the real one; tests replace it
// to answer questions and to record what would have been shown.
#pragma once

#include <QPointer>
#include <QString>
#include <QUrl>
#include <QWidget>

namespace halv {

enum class BoxIcon { kInformation, kWarning, kError };

class WebDesktop {
 public:
  virtual ~WebDesktop() = default;
  // A modal box with one OK button.
  virtual void ShowMessage(const QString& text, const QString& caption, BoxIcon icon) = 0;
  // A modal box with Yes and No; true for Yes (closing the box is No).
  virtual bool AskYesNo(const QString& text, const QString& caption, BoxIcon icon) = 0;
  // Opens the address in the user's browser; false when that failed.
  virtual bool OpenInBrowser(const QUrl& link) = 0;
  // A file-open dialog; the chosen file's full path, or empty when cancelled.
  virtual QString PickFile(const QString& title, const QString& folder, const QString& filter) = 0;
};

// Modal boxes centred on the given window, staying on top, with a beep.
class QtWebDesktop : public WebDesktop {
 public:
  explicit QtWebDesktop(QWidget* parent) : parent_(parent) {}
  void ShowMessage(const QString& text, const QString& caption, BoxIcon icon) override;
  bool AskYesNo(const QString& text, const QString& caption, BoxIcon icon) override;
  bool OpenInBrowser(const QUrl& link) override;
  QString PickFile(const QString& title, const QString& folder, const QString& filter) override;

 private:
  QPointer<QWidget> parent_;
};

}  // namespace halv
