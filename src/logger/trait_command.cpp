// The trait: which modems a logger has. Devices that cannot report it have it
// worked out from their kind and their radio.
#include <cstdio>

#include "logger/link_internal.h"
#include "logger/reply_parse.h"
#include "logger/setting_commands.h"

namespace halv {
namespace {

constexpr uint32_t kTraitWithRadio = kTraitKnown | kTraitRadio;  // 16385

int32_t Failed(DeviceLink* link, int32_t rc, uint32_t ms) {
  LogMessage(link->log, kLogError, LinkTag(link), "TraitCommand failed with error %d (%d ms)", rc,
             static_cast<int>(ms));
  return rc;
}

int32_t ReadTrait(DeviceLink* link, uint32_t* trait) {
  const LoggerSettings& s = link->settings;
  const char* tag = LinkTag(link);
  if (s.device_kind == kLoggerKindFieldpost) {
    *trait = kTraitWithRadio;
    LogMessage(link->log, kLogProgress, tag, "TraitCommand: set trait to %d for Fieldpost",
               static_cast<int>(*trait));
    return 1;
  }
  if (s.supported_mask & kSupportsTraitRead) {
    Reply<32> r;
    const int32_t rc = r.Exchange(link, "get -trait\r", '>', 1500);
    if (rc < 0) return Failed(link, rc, r.elapsed_ms);
    int32_t number = 0;
    // The device keeps the low byte inverted.
    if (!reply::ReadInt(r.text, &number) || number < 0 || number > 255) {
      return Failed(link, kLoggerBadReply, r.elapsed_ms);
    }
    *trait = static_cast<uint32_t>(255 - number) | kTraitKnown;
    LogMessage(link->log, kLogProgress, tag, "TraitCommand: found %d (%d ms)",
               static_cast<int>(*trait), r.Ms());
    return 1;
  }
  if (!(s.supported_mask & kSupportsRadio)) {
    *trait = kTraitKnown;
    return 1;
  }
  if (OnRadio(link)) {
    *trait = kTraitWithRadio;
    LogMessage(link->log, kLogProgress, tag, "TraitCommand (emulated): knows %d",
               static_cast<int>(*trait));
    return 1;
  }
  // Whether a radio is fitted shows in whether it reports a version.
  uint32_t selection = kRadioVersionItem;
  LoggerSettings& own = link->settings;
  const int32_t rc = MSRadioCommand(link, &own.radio_channel, &own.radio_subchannel,
                                    &own.radio_version, kRead, &selection);
  *trait = (selection & kRadioVersionItem) ? kTraitWithRadio : kTraitKnown;
  if (rc < 0) return 0;
  LogMessage(link->log, kLogProgress, tag, "TraitCommand (emulated): found %d",
             static_cast<int>(*trait));
  return 1;
}

int32_t WriteTrait(DeviceLink* link, const uint32_t* trait) {
  if (!(link->settings.supported_mask & kSupportsIdentity)) return Failed(link, -12, 0);
  char command[32];
  snprintf(command, sizeof command, "set -trait %d\r", static_cast<int>(~*trait & 0xFFu));
  Reply<32> r;
  int32_t rc = r.Exchange(link, command, '>', 1500);
  if (rc > 0) rc = reply::Contains(r.text, "OK") ? 1 : kLoggerBadReply;
  if (rc < 0) return Failed(link, rc, r.elapsed_ms);
  LogMessage(link->log, kLogProgress, LinkTag(link), "TraitCommand set trait to %d (%d ms)",
             static_cast<int>(*trait), r.Ms());
  return 1;
}

}  // namespace

int32_t TraitCommand(DeviceLink* link, uint32_t* trait, int direction) {
  if (trait == nullptr) return Failed(link, kLoggerMissingArgument, 0);
  return direction == kWrite ? WriteTrait(link, trait) : ReadTrait(link, trait);
}

}  // namespace halv
