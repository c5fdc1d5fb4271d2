// The transfer of a logger's settings, one setting per step in a fixed
// order, with a new login when the device stops answering in the middle.
#include <bit>

#include "logger/link_internal.h"
#include "logger/setting_commands.h"
#include "logger/settings_transfer.h"
#include "serial/clock.h"

namespace halv {
namespace {

constexpr uint32_t kAfterFailedStepMs = 100;
constexpr uint32_t kShowBits = kPresentName | kPresentInterval | kPresentRadioMode;
constexpr uint32_t kShowClears = kShowBits | kPresentSerialNumber;
constexpr uint32_t kShowMarks = kShowBits | kPresentVersion;

struct Step {
  DeviceLink* link;
  int direction;
  uint32_t* wanted;
  uint32_t* done;
  LoggerSettings& s() { return link->settings; }
  // The usual end of a step: done on success, no longer wanted either way.
  int32_t Finish(uint32_t bit, int32_t rc) {
    if (rc > 0) *done |= bit;
    *wanted &= ~bit;
    return rc;
  }
};

bool IdentityKnown(const LoggerSettings& s) {
  return s.device_kind != 0 && s.new_firmware && !s.firmware_version_text.empty() &&
         s.firmware_version > 0;
}

int32_t VersionStep(Step& st) {
  if (st.direction == kWrite) return st.Finish(kPresentVersion, 0);
  if (IdentityKnown(st.s())) return st.Finish(kPresentVersion, 1);
  const int32_t rc = VerCommand(st.link, false);
  if (st.s().new_firmware) return st.Finish(kPresentVersion, rc);
  // An old logger told everything in its show reply.
  *st.wanted &= ~(kShowClears | kPresentVersion);
  if (rc > 0) *st.done |= kShowMarks;
  if (rc == kLoggerTooOld) {
    LogMessage(st.link->log, kLogProgress, LinkTag(st.link),
               "DeviceSettings: old Vaultkeep model 007 not supported");
  }
  return rc;
}

int32_t ShowStep(Step& st) {
  const int32_t rc = ParseShowCommand(st.link, nullptr);
  *st.wanted &= ~kShowClears;
  if (rc > 0) *st.done |= kShowMarks;
  return rc;
}

// Latitude, longitude and site name that failed are no longer present.
int32_t ForgetOnFailure(Step& st, uint32_t bit, int32_t rc) {
  if (rc <= 0) st.s().present_mask &= ~bit;
  return st.Finish(bit, rc);
}

int32_t RadioStep(Step& st) {
  const uint32_t selection_wanted = *st.wanted & kPresentRadioBits;
  *st.wanted &= ~kPresentRadioBits;
  if (st.direction == kRead && RadioGate(st.link) == 0) return kLoggerRadioConfigFailed;
  uint32_t selection = selection_wanted;  // the item bits are the present bits
  LoggerSettings& s = st.s();
  const int32_t rc = MSRadioCommand(st.link, &s.radio_channel, &s.radio_subchannel,
                                    &s.radio_version, st.direction, &selection);
  *st.done |= selection & kPresentRadioBits;
  return rc;
}

bool OldLogger(const DeviceLink* link) {
  return !link->settings.new_firmware;
}

struct OrderRow {
  uint32_t bits;
  bool (*applies)(const DeviceLink* link);  // null: always
  int32_t (*run)(Step& st);
};

// clang-format off
constexpr OrderRow kOrder[] = {
    {kPresentVersion, nullptr, VersionStep},
    {kShowBits, OldLogger, ShowStep},
    {kPresentName, nullptr, [](Step& st) {
       return st.Finish(kPresentName, NameCommand(st.link, &st.s().device_name, st.direction)); }},
    {kPresentDeviceId, nullptr, [](Step& st) {
       return st.Finish(kPresentDeviceId, DeviceIDCommand(st.link, &st.s().device_id, st.direction)); }},
    {kPresentReport, nullptr, [](Step& st) {
       return st.Finish(kPresentReport, ReportCommand(st.link, &st.s().report_mode, st.direction)); }},
    {kPresentDepths, nullptr, [](Step& st) {
       return st.Finish(kPresentDepths, DepthCommand(st.link, st.s().port_depths, st.direction)); }},
    {kPresentLatitude, nullptr, [](Step& st) {
       return ForgetOnFailure(st, kPresentLatitude,
                              LatitudeCommand(st.link, &st.s().latitude, st.direction)); }},
    {kPresentLongitude, nullptr, [](Step& st) {
       return ForgetOnFailure(st, kPresentLongitude,
                              LongitudeCommand(st.link, &st.s().longitude, st.direction)); }},
    {kPresentTimeZone, nullptr, [](Step& st) {
       return st.Finish(kPresentTimeZone, TimeZoneCommand(st.link, &st.s().time_zone, st.direction)); }},
    {kPresentSite, nullptr, [](Step& st) {
       return ForgetOnFailure(st, kPresentSite, SiteCommand(st.link, &st.s().site_name, st.direction)); }},
    {kPresentSerialNumber, nullptr, [](Step& st) {
       return st.Finish(kPresentSerialNumber, SNCommand(st.link, &st.s().serial_number, st.direction)); }},
    {kPresentInterval, nullptr, [](Step& st) {
       return st.Finish(kPresentInterval,
                        WakeCommand(st.link, &st.s().measurement_interval, st.direction)); }},
    {kPresentPadc, nullptr, [](Step& st) {
       return st.Finish(kPresentPadc, PADCCommand(st.link, &st.s().padc, st.direction)); }},
    {kPresentPorts, nullptr, [](Step& st) {
       return st.Finish(kPresentPorts, PortsCommand(st.link, st.s().port_sensor_types, st.direction)); }},
    {kPresentTrait, nullptr, [](Step& st) {
       return st.Finish(kPresentTrait, TraitCommand(st.link, &st.s().trait, st.direction)); }},
    {kPresentRadioMode, nullptr, [](Step& st) {
       return st.Finish(kPresentRadioMode, RmodeCommand(st.link, &st.s().radio_mode, st.direction)); }},
    {kPresentRadioBits, nullptr, RadioStep},
    {kPresentDataParameter, nullptr, [](Step& st) {
       return st.Finish(kPresentDataParameter,
                        DataParameterCommand(st.link, &st.s().data_parameter, st.direction)); }},
    {kPresentBuild, nullptr, [](Step& st) {
       return st.Finish(kPresentBuild, HalvBuildCommand(st.link, &st.s().build, st.direction)); }},
    {kPresentAdc30, nullptr, [](Step& st) {
       auto& cal = st.s().adc30_calibration;
       return st.Finish(kPresentAdc30, ADCcalCommand(st.link, 1, cal[0], cal[1], st.direction)); }},
    {kPresentAdc15, nullptr, [](Step& st) {
       auto& cal = st.s().adc15_calibration;
       return st.Finish(kPresentAdc15, ADCcalCommand(st.link, 2, cal[0], cal[1], st.direction)); }},
    {kPresentApn, nullptr, [](Step& st) {
       return st.Finish(kPresentApn, APNCommand(st.link, &st.s().apn, st.direction)); }},
    {kPresentApnUser, nullptr, [](Step& st) {
       return st.Finish(kPresentApnUser, APNUserCommand(st.link, &st.s().apn_user_name, st.direction)); }},
    {kPresentApnPassword, nullptr, [](Step& st) {
       return st.Finish(kPresentApnPassword,
                        APNPasswdCommand(st.link, &st.s().apn_password, st.direction)); }},
    {kPresentAuthKey, nullptr, [](Step& st) {
       return st.Finish(kPresentAuthKey,
                        AuthKeyCommand(st.link, &st.s().authorisation_key, st.direction)); }},
    {kPresentHost, nullptr, [](Step& st) {
       return st.Finish(kPresentHost, HostCommand(st.link, &st.s().remote_host_name, st.direction)); }},
    {kPresentIpPort, nullptr, [](Step& st) {
       return st.Finish(kPresentIpPort, IPPortCommand(st.link, &st.s().ip_port, st.direction)); }},
};
// clang-format on

// Runs the first wanted setting in the order; false when none is left.
bool RunNext(Step& st, int32_t* rc) {
  for (const OrderRow& row : kOrder) {
    if (!(*st.wanted & row.bits)) continue;
    if (row.applies != nullptr && !row.applies(st.link)) continue;
    *rc = row.run(st);
    return true;
  }
  return false;
}

int Count(uint32_t bits) {
  return std::popcount(bits);
}

}  // namespace

int32_t DeviceSettings(DeviceLink* link, LoggerSettings* block, uint32_t* mask, int direction) {
  if (block == nullptr || mask == nullptr) return kLoggerMissingArgument;
  if (direction != kRead && direction != kWrite) return kLoggerNotApplicable;
  uint32_t wanted = *mask;
  uint32_t done = 0;
  if (direction == kWrite) {
    link->settings = *block;
  } else {
    if (link->settings.firmware_version > 0) {
      done |= kPresentVersion;
      wanted &= ~kPresentVersion;
    } else {
      wanted |= kPresentVersion;
    }
    // The radio gate needs the trait.
    if ((wanted & kPresentRadioBits) && !(link->settings.present_mask & kPresentTrait)) {
      wanted |= kPresentTrait;
    }
  }
  const uint32_t wanted_at_call = wanted;
  const uint32_t total = static_cast<uint32_t>(Count(wanted) + Count(done));
  const char* tag = LinkTag(link);
  Step st{link, direction, &wanted, &done};

  int32_t result = 1;
  int32_t step_rc = 1;
  uint32_t before_wanted = 0xFFFFFFFF;
  int32_t before_result = 1;
  uint32_t relogins = 0;
  for (;;) {
    if (!AskToGoOn(link, total, total - static_cast<uint32_t>(Count(wanted)), kPhaseProgress)) {
      LogMessage(link->log, kLogProgress, tag,
                 "DeviceSettings canceled by user after getting %d of %d settings", Count(done),
                 static_cast<int>(total));
      AskToGoOn(link, total, total, kPhaseFinished);
      return kLoggerCancelled;
    }
    if (step_rc == kLoggerEcho || step_rc == kLoggerRelayActive || step_rc == kLoggerPromptOnly ||
        step_rc == kLoggerTooOld) {
      result = step_rc;
      break;
    }
    if (step_rc < 0) {
      result = kLoggerPartlyDone;
      WaitMs(kAfterFailedStepMs);
    }
    if (step_rc == kLoggerNoAnswer) {
      // The device went silent: log in again and repeat the step.
      if (relogins++ >= link->retries || OnRadio(link)) {
        result = kLoggerNoAnswer;
        break;
      }
      ConnectRequest& req = link->request;
      const int32_t rc =
          DeviceLogin(link, &req.login_name, req.login_password.c_str(), &req.baud_index);
      if (rc == kLoggerNothingListening) {
        result = kLoggerNoAnswer;
        break;
      }
      if (rc < 0) continue;  // step_rc stays -21: another login
      LogMessage(link->log, kLogProgress, "******", "DeviceSettings re-connected to device");
      wanted = before_wanted;
      result = before_result;
    } else {
      if ((wanted & kPresentSettingBits) == 0 || wanted == before_wanted) break;
      before_wanted = wanted;
      before_result = result;
      relogins = 0;
    }
    if (!RunNext(st, &step_rc)) break;
  }
  if (done == 0 && result == 1 && wanted_at_call != 0) result = kLoggerCannot;
  *mask = done;
  if (direction == kRead) {
    link->settings.present_mask |= done;
    *block = link->settings;
    AskToGoOn(link, total, total, kPhaseFinished);
  }
  return result;
}

}  // namespace halv
