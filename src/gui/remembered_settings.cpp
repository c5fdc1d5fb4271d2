#include "gui/remembered_settings.h"

#include <QSettings>
#include <QString>

namespace halv::gui {
namespace {

constexpr const char* kFindAllComms = "FindAllComms";
constexpr const char* kCommPort = "CommPort";
constexpr const char* kVerboseLog = "VerboseLog";

}  // namespace

RememberedSettings ReadRememberedSettings() {
  QSettings store(kSettingsOrganisation, kSettingsApplication);
  RememberedSettings settings;
  settings.find_all_comms = store.value(kFindAllComms, false).toBool();
  settings.has_comm_port = store.contains(kCommPort);
  if (settings.has_comm_port) settings.comm_port = store.value(kCommPort).toString().toStdString();
  return settings;
}

bool WriteRememberedSettings(const RememberedSettings& settings, std::string* error) {
  QSettings store(kSettingsOrganisation, kSettingsApplication);
  store.setValue(kFindAllComms, settings.find_all_comms);
  store.setValue(kVerboseLog, settings.verbose_log);
  store.setValue(kCommPort, QString::fromStdString(settings.comm_port));
  store.sync();
  if (store.status() == QSettings::NoError) return true;
  if (error != nullptr) {
    *error = store.status() == QSettings::AccessError ? "no write access to " : "format error in ";
    *error += store.fileName().toStdString();
  }
  return false;
}

}  // namespace halv::gui
