// The sensor build's choice of sensor type: the factory's entries under
// "&Settings" and the start-up default both come through SelectSensorType.
#include <QLabel>

#include "app/sensor_updater.h"
#include "bsl/host_bsl.h"
#include "gui/main_window.h"
#include "protocol/device_kinds.h"
#include "web/version_paths.h"

namespace halv::gui {
namespace {

constexpr const char* kWindowTag = "HalvBSL frmMain";

}  // namespace

void TfrmMain::SelectSensorType(int32_t type) {
  // A run reads the type and the device name from start to end; a change in
  // the middle would write another type than the one it checked.
  if (RunBusy()) {
    sensor_types_->Check(selected_sensor_type_);
    LogMessage(&log_, kLogNote, kWindowTag, "Sensor type %d picked during an update: ignored",
               type);
    return;
  }
  sensor_types_->Check(type);
  selected_sensor_type_ = type;
  const std::string path_word = SensorTypePathWord(type);
  if (!path_word.empty()) sensor_path_word_ = path_word;

  FixedText<35> name;
  SensorTypeName(type, &name);
  const std::string device = name.c_str();
  if (sensor_updater_ != nullptr) sensor_updater_->sensor_type = static_cast<uint32_t>(type);
  if (UpdateSettings* settings = RunSettings()) settings->device_name = device;
  // The digital-sensor row of the kind table (its flash layout and version
  // window) follows the selected type.
  if (host_ != nullptr) SetDigitalSensorSelection({type, host_->image_version});
  userText1->setText(QString::fromStdString("This utility updates " + device + " firmware to"));
  userText1->adjustSize();
  LogMessage(&log_, kLogNote, kWindowTag, "Sensor type %d selected: %s", type, device.c_str());
}

std::string TfrmMain::VersionCheckPath() const {
  return VersionFinderPath(setup_.build_kind, sensor_path_word_);
}

}  // namespace halv::gui
