// The logger link: text commands to a logger's or instrument's running
// firmware over the device link. One exchange with retries and echo and error
// detection, the radio query and wake sequence, login with baud negotiation,
// identification of the device kind and firmware version, and leaving the
// device again.
#pragma once

#include <cstdint>

#include "serial/device_link.h"

namespace halv {

// Result codes of the logger link.
enum LoggerResult : int32_t {
  kLoggerCannot = -1,  // the device cannot do this
  kLoggerMissingArgument = -10,
  kLoggerNotApplicable = -11,  // not for this device, or a value out of range
  kLoggerTooOld = -13,         // firmware too old, or a refused kind
  kLoggerNothingListening = -20,
  kLoggerNoAnswer = -21,
  kLoggerQueryNoAnswer = -22,
  kLoggerRadioConfigFailed = -23,
  kLoggerBadReply = -30,
  kLoggerEmptyAnswer = -31,  // nothing but "\r\r>"
  kLoggerEcho = -32,
  kLoggerRelayActive = -33,
  kLoggerErrorReply = -34,  // "ERROR", "Unsupported" or a "?"
  kLoggerPartlyDone = -35,
  kLoggerPromptOnly = -36,
  kLoggerIdentityMismatch = -37,
  kLoggerCancelled = -40,
  kLoggerNoRadio = -45,
  kLoggerNameBadCharacter = -50,
  kLoggerNameForbiddenCharacter = -51,
  kLoggerNameReserved = -52,
  kLoggerNameEmpty = -53,
  kLoggerNameTooLong = -54,
  kLoggerNameHighCharacter = -56,
  kLoggerNoMemory = -60,
  kLoggerBrokenDataFlash = -65,
  kLoggerModemAnswer = -80,   // "+" first in a version reply
  kLoggerLoaderAnswer = -81,  // "$" twice in a version reply
};

// Bits of the supported mask: what a device kind and firmware version can do.
enum SupportedBit : uint32_t {
  kSupportsBaud = 1u << 0,
  kSupportsInterval = 1u << 4,  // measurement interval and PADC rate
  kSupportsPorts = 1u << 5,
  kSupportsTraitRead = 1u << 6,
  kSupportsRadio = 1u << 8,  // radio modem; also the emulated trait
  kSupportsRadioMode = 1u << 9,
  kSupportsClock = 1u << 12,
  kSupportsAdcCal = 1u << 16,
  kSupportsDataParameter = 1u << 17,
  kSupportsBuild = 1u << 18,
  kSupportsSecondsClock = 1u << 19,
  kSupportsShortAdcCal = 1u << 20,
  kSupportsIdentity = 1u << 24,  // device ID, report, depths, site, zone, trait write
  kSupportsLocation = 1u << 26,
};

// The logger link's own numbering of device kinds.
enum LoggerKind : uint8_t {
  kLoggerKindUnknown = 0,
  kLoggerKindUnknownLogger = 1,
  kLoggerKindLagan = 2,
  kLoggerKindLaganX = 3,
  kLoggerKindFieldpost = 4,
  kLoggerKindWebpost = 5,
  kLoggerKindLaganB = 6,
  kLoggerKindGeneric = 7,
  kLoggerKindCommDevice = 8,
  kLoggerKindCalibrator = 9,
  kLoggerKindHandix = 10,
  kLoggerKindZet = 11,
  kLoggerKindCorvo = 12,
};

// The kind a model code of the version reply names (case as reported is
// upper-cased by the caller); 0 for a code nobody knows.
uint8_t LoggerKindOfModel(const char* model_code);
const char* LoggerKindName(uint8_t kind);
// What the kind supports at firmware version v (major*100 + minor*10 + patch).
uint32_t LoggerSupportedMask(uint8_t kind, int32_t version, bool new_firmware);

// 1 when the name may be a device's name, else the refusal code (-50..-56).
int32_t CheckDeviceName(const char* name);

// Hooks. The progress-and-cancel hook is asked only when the link's cancel
// check is on; it returns false to stop. Phases of a report:
enum ProgressPhase : int { kPhaseProgress = 1, kPhaseFinished = 2, kPhaseQuery = 4 };
using LoggerProgressHook = bool (*)(DeviceLink* link, uint32_t total, uint32_t done, int phase);
// Trace of the text on the line: direction 1 received, 2 sent.
enum TraceDirection : int { kTraceReceived = 1, kTraceSent = 2 };
using LoggerTraceHook = void (*)(DeviceLink* link, const char* text, int direction);
// Null restores the default (go on; trace nothing). Returns the previous hook.
LoggerProgressHook SetLoggerProgressHook(LoggerProgressHook hook);
LoggerTraceHook SetLoggerTraceHook(LoggerTraceHook hook);

// One command and its reply, tried up to the retries in force. The reply is
// copied to `reply` (capacity in *reply_length, the length copied comes back
// there); the whole last reply stays in link->response. Returns the number of
// bytes received, or -21, -22, -31, -32, -34 or a channel error.
int32_t DeviceCommand(DeviceLink* link, const char* command, char end, uint32_t wait_ms,
                      char* reply, uint32_t* reply_length, uint32_t* elapsed_ms);

// Asks who is on the radio. Mode 1: the device's name goes into `name`
// (9 bytes); any other non-zero mode is the capacity of `name`, which then
// receives the whole reply.
int32_t QueryCommand(DeviceLink* link, char* name, uint32_t mode);
// The wake sequence that brings a radio device out of its sleep.
int32_t SendWake(DeviceLink* link);
// "login NAME\r", or a plain "login\r" for a null or empty name.
int32_t LoginCommand(DeviceLink* link, const char* name);
// Brings the device to its prompt and settles the baud rate; the baud index
// comes back as the index in use.
int32_t DeviceLogin(DeviceLink* link, FixedText<9>* name, const char* password,
                    uint8_t* baud_index);
int32_t SetBaudCommand(DeviceLink* link, uint32_t baud);
int32_t DisconnectDevice(DeviceLink* link, bool skip_logout);
// Identifies kind and version with "get -ver"; with no_show an old logger is
// not asked for its "show" reply.
int32_t VerCommand(DeviceLink* link, bool no_show);
// Reads an old logger's "show" reply. With `name` given (9 bytes) only the
// name is read into it.
int32_t ParseShowCommand(DeviceLink* link, char* name);

// The tag of the logger link's log lines: the port name.
const char* LinkTag(const DeviceLink* link);
bool OnRadio(const DeviceLink* link);

}  // namespace halv
