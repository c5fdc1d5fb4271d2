// A desktop for the web tests: records every box, answers questions as told,
// pretends to open the browser and to pick a file.
#pragma once

#include <QString>
#include <QUrl>
#include <functional>
#include <vector>

#include "web/web_desktop.h"

namespace halv::test {

struct ShownBox {
  QString text;
  QString caption;
  BoxIcon icon;
  bool question;
};

class FakeDesktop : public WebDesktop {
 public:
  void ShowMessage(const QString& text, const QString& caption, BoxIcon icon) override {
    boxes.push_back({text, caption, icon, false});
  }
  bool AskYesNo(const QString& text, const QString& caption, BoxIcon icon) override {
    boxes.push_back({text, caption, icon, true});
    return answer_yes;
  }
  bool OpenInBrowser(const QUrl& link) override {
    opened.push_back(link);
    return browser_works;
  }
  QString PickFile(const QString& title, const QString& folder, const QString& filter) override {
    pick_calls.push_back({title, folder, filter});
    return picked_file;
  }

  std::vector<ShownBox> boxes;
  bool answer_yes = false;
  bool browser_works = true;
  std::vector<QUrl> opened;
  QString picked_file;
  std::vector<std::vector<QString>> pick_calls;
};

}  // namespace halv::test
