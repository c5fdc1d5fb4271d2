// One operation per logger setting: read it from the device into a field of
// the settings block (direction 0) or write the field's value to the device
// (direction 1). Results: 1 done; -1 the device lacks the setting (nothing is
// sent or logged); -10 a pointer is missing; -11 a value out of range; -30 or
// -31 the reply could not be read; other codes come from DeviceCommand.
#pragma once

#include <cstdint>

#include "logger/logger_link.h"

namespace halv {

enum SettingDirection : int { kRead = 0, kWrite = 1 };

// Trait bits.
constexpr uint32_t kTraitKnown = 0x4000;
constexpr uint32_t kTraitRadio = 0x1;
constexpr uint32_t kTraitCellular = 0x8;

// Selection bits of the radio items.
constexpr uint32_t kRadioChannelItem = 0x400;
constexpr uint32_t kRadioSubchannelItem = 0x800;
constexpr uint32_t kRadioVersionItem = 0x1000;

using DeviceName = FixedText<18>;

int32_t NameCommand(DeviceLink* link, DeviceName* name, int direction);
int32_t DeviceIDCommand(DeviceLink* link, FixedText<9>* id, int direction);
int32_t ReportCommand(DeviceLink* link, int32_t* mode, int direction);
int32_t DepthCommand(DeviceLink* link, uint8_t* depths, int direction);  // 5 bytes
int32_t SiteCommand(DeviceLink* link, FixedText<32>* site, int direction);
int32_t LatitudeCommand(DeviceLink* link, double* latitude, int direction);
int32_t LongitudeCommand(DeviceLink* link, double* longitude, int direction);
// Writing -2 means the computer's own zone, which is stored back.
int32_t TimeZoneCommand(DeviceLink* link, int32_t* quarter_hours, int direction);
int32_t SNCommand(DeviceLink* link, FixedText<16>* serial_number, int direction);
int32_t WakeCommand(DeviceLink* link, int32_t* interval, int direction);
int32_t PADCCommand(DeviceLink* link, int32_t* hertz, int direction);
int32_t PortsCommand(DeviceLink* link, uint8_t* types, int direction);  // 5 bytes
int32_t DataParameterCommand(DeviceLink* link, int32_t* value, int direction);
int32_t HalvBuildCommand(DeviceLink* link, FixedText<20>* build, int direction);
int32_t APNCommand(DeviceLink* link, FixedText<36>* apn, int direction);
int32_t APNUserCommand(DeviceLink* link, FixedText<36>* user, int direction);
int32_t APNPasswdCommand(DeviceLink* link, FixedText<36>* password, int direction);
int32_t AuthKeyCommand(DeviceLink* link, FixedText<33>* key, int direction);
int32_t HostCommand(DeviceLink* link, FixedText<66>* host, int direction);
int32_t IPPortCommand(DeviceLink* link, int32_t* port, int direction);
int32_t RmodeCommand(DeviceLink* link, int32_t* mode, int direction);

int32_t TraitCommand(DeviceLink* link, uint32_t* trait, int direction);
// Table 1 is "-adc30", table 2 "-adc15"; a and b are 5 factors each.
int32_t ADCcalCommand(DeviceLink* link, int table, uint8_t* a, uint8_t* b, int direction);
// Radio channel, subchannel and version of a radio-modem logger; `selection`
// says which items to handle and comes back with those that were done.
int32_t MSRadioCommand(DeviceLink* link, int32_t* channel, int32_t* subchannel,
                       FixedText<9>* version, int direction, uint32_t* selection);

// Whether the cellular settings apply: trait known, kind 3, cellular bit.
bool CellularGate(const DeviceLink* link);
// -1 trait unknown, 1 a radio modem is fitted, 0 none.
int RadioGate(const DeviceLink* link);

}  // namespace halv
