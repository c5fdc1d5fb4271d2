// What the instrument protocol asks of a logger as a whole: link options,
// connecting and logging in, the transfer of all wanted settings, the clock,
// the data erase, and the AT set-up of a radio modem.
#pragma once

#include <cstdint>

#include "logger/logger_link.h"

namespace halv {

// Bits of the present mask, one per setting, handled in the order of the
// transfer table.
enum PresentBit : uint32_t {
  kPresentName = 1u << 0,
  kPresentSerialNumber = 1u << 1,
  kPresentVersion = 1u << 2,
  kPresentTrait = 1u << 3,
  kPresentInterval = 1u << 4,
  kPresentPorts = 1u << 5,
  kPresentPadc = 1u << 6,
  kPresentDeviceId = 1u << 7,
  kPresentDataParameter = 1u << 8,
  kPresentRadioMode = 1u << 9,
  kPresentRadioChannel = 1u << 10,
  kPresentRadioSubchannel = 1u << 11,
  kPresentRadioVersion = 1u << 12,
  kPresentDepths = 1u << 13,
  kPresentSite = 1u << 14,
  kPresentLatitude = 1u << 15,
  kPresentLongitude = 1u << 16,
  kPresentTimeZone = 1u << 17,
  kPresentApn = 1u << 18,
  kPresentApnUser = 1u << 19,
  kPresentApnPassword = 1u << 20,
  kPresentHost = 1u << 21,
  kPresentAuthKey = 1u << 22,
  kPresentIpPort = 1u << 23,
  kPresentReport = 1u << 24,
  kPresentAdc30 = 1u << 25,
  kPresentAdc15 = 1u << 26,
  kPresentBuild = 1u << 27,
};
constexpr uint32_t kPresentRadioBits =
    kPresentRadioChannel | kPresentRadioSubchannel | kPresentRadioVersion;
constexpr uint32_t kPresentSettingBits = 0x0FFFFFFF;  // bits 28 to 31 name no setting

// Direction 0 copies the link's options out, 1 checks and takes the given ones.
int32_t DeviceLinkOptions(DeviceLink* link, LinkOptions* options, int direction);
int32_t DeviceConnect(DeviceLink* link, const ConnectRequest* request);
// Reads (direction 0) or writes (1) the settings of the wanted bits; the mask
// comes back with the bits done.
int32_t DeviceSettings(DeviceLink* link, LoggerSettings* block, uint32_t* mask, int direction);
// Time in seconds since 1 January 2000, local time. Writing 0 (or null) sets
// the computer's current time and hands it back.
int32_t DeviceTime(DeviceLink* link, int64_t* time, int direction);
int32_t EraseData(DeviceLink* link);
int32_t RodoConfig(DeviceLink* link, int32_t* channel, int32_t* subchannel, FixedText<9>* version,
                   int direction, uint32_t* selection);

// Seconds since 1 January 2000 of the computer's local time now.
int64_t LocalSecondsSince2000();

}  // namespace halv
