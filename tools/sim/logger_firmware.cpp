#include "sim/logger_firmware.h"

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "sim/logger_clock.h"
#include "sim/logger_commands.h"

namespace halv::sim {
namespace {

constexpr uint64_t kMs = 1000;
constexpr uint64_t kAnswerUs = 10 * kMs;  // a logger takes a moment for every answer
constexpr size_t kMaxLine = 256;          // the firmware's line buffer
constexpr size_t kMaxTranscriptLine = 300;
// A sleeping radio logger listens once every 30 s for a moment; a carriage
// return on the air within that moment wakes it. Awake, it waits a minute
// for a login and stays five minutes after the last line of a session.
constexpr uint64_t kListenPeriodUs = 30000 * kMs;
constexpr uint64_t kListenWindowUs = 60 * kMs;
constexpr uint64_t kAwaitLoginUs = 60000 * kMs;
constexpr uint64_t kSessionIdleUs = 300000 * kMs;
constexpr uint64_t kNeverUs = UINT64_MAX;

// "set -baud" codes.
constexpr uint32_t kBaudOfCode[] = {9600, 19200, 38400, 57600, 115200, 230400, 460800};

// clang-format off
constexpr DeviceProfile kLoggerDevice = {
  // name    kind model     version rev  INFO start, count, size  flash start, end
  "logger",  0,   "LOGGER", "1.00", 'A', 0x1000, 2, 128,          0x1100, 0x10000,
  // loader: has, version, baud   restart  login        battery  erase ms, write us/word
  false, 0, 9600,                 2000,    false, "",   90,      25, 70,
  {},
};
// clang-format on

uint32_t HexOf(const char* text) {
  return static_cast<uint32_t>(strtoul(text, nullptr, 16));
}

// The factory's radio channel and subchannel: the modem on the comm port was
// paired with the logger before it left.
uint32_t FactoryHex(const char* word) {
  return HexOf(FindLoggerSetting(word)->factory);
}

bool StartsWith(const std::string& text, const char* prefix) {
  return text.rfind(prefix, 0) == 0;
}

// Exactly `count` numbers separated by `separator`, nothing else.
bool ParseFields(const std::string& text, char separator, int* out, int count) {
  const char* p = text.c_str();
  for (int i = 0; i < count; ++i) {
    if (*p < '0' || *p > '9') return false;
    char* end = nullptr;
    errno = 0;
    const long v = strtol(p, &end, 10);
    if (errno != 0 || v > 99999) return false;
    out[i] = static_cast<int>(v);
    p = end;
    if (i + 1 < count) {
      if (*p != separator) return false;
      ++p;
    }
  }
  return *p == '\0';
}

}  // namespace

const DeviceProfile& LoggerDeviceProfile() {
  return kLoggerDevice;
}

std::unique_ptr<FirmwarePersonality> MakeLoggerFirmware(SimDevice& device,
                                                        const LoggerSetup& setup) {
  return std::make_unique<LoggerFirmware>(device, setup);
}

LoggerFirmware::LoggerFirmware(SimDevice& device, const LoggerSetup& setup)
    : device_(device),
      setup_(setup),
      profile_(*setup.profile),
      port_modem_(device, "port modem", FactoryHex("-rch"), FactoryHex("-rsch")),
      logger_modem_(device, "logger modem", FactoryHex("-rch"), FactoryHex("-rsch")) {
  const bool radio_fitted = profile_.modems & kModemRadio;
  for (const LoggerSetting& s : LoggerSettingTable()) {
    if (profile_.old_firmware && !s.old_firmware) continue;
    if (!Has(s.get_features) && !Has(s.set_features)) continue;
    if (s.cellular && !(profile_.modems & kModemCellular)) continue;
    if ((s.form == LoggerValue::kRadioHex || s.form == LoggerValue::kRadioVer) && !radio_fitted) {
      continue;
    }
    const char* factory = s.factory;
    if (strcmp(s.key, "name") == 0) factory = profile_.device_name;
    if (strcmp(s.key, "sn") == 0) factory = profile_.serial_number;
    if (s.form == LoggerValue::kTrait) {
      Store(s.key) = std::to_string(255 - profile_.modems);  // kept inverted
    } else {
      Store(s.key) = factory != nullptr ? factory : "";
    }
  }
  if (profile_.old_firmware) Store("name") = profile_.device_name;
  if (profile_.old_firmware) Store("resets") = "3";
  const bool awake = !setup_.over_radio || setup_.start_awake;
  awake_from_us_ = awake ? 0 : kNeverUs;
  sleep_at_us_ = !setup_.over_radio ? kNeverUs : (awake ? kAwaitLoginUs : 0);
}

bool LoggerFirmware::Awake() const {
  const uint64_t now = device_.Now();
  return now >= awake_from_us_ && now < sleep_at_us_;
}

void LoggerFirmware::TakeByte(uint8_t byte) {
  RecordHostBytes(byte);
  if (!setup_.over_radio) {
    FirmwareByte(byte);
    return;
  }
  for (char c : port_modem_.TakeByte(byte)) AirByte(static_cast<uint8_t>(c));
}

// The host's lines, as they were sent, for the transcript.
void LoggerFirmware::RecordHostBytes(uint8_t byte) {
  if (host_line_.size() < kMaxTranscriptLine) host_line_ += static_cast<char>(byte);
  if (byte == '\r' || host_line_ == "+++") {
    device_.Log().Host(device_.Now(), host_line_);
    host_line_.clear();
  }
}

// A byte on the air reaches the logger only on the channel it listens to,
// and only while it is awake; a carriage return can wake it.
void LoggerFirmware::AirByte(uint8_t byte) {
  // A logger without the radio commands keeps the factory's channel.
  auto listens_on = [&](const char* key, const char* word) {
    const auto found = device_.Settings().find(key);
    return found != device_.Settings().end() ? HexOf(found->second.c_str()) : FactoryHex(word);
  };
  const bool same_channel = port_modem_.Channel() == listens_on("rch", "-rch") &&
                            port_modem_.Subchannel() == listens_on("rsch", "-rsch");
  if (!same_channel) return;
  const uint64_t now = device_.Now();
  if (now >= sleep_at_us_ && awake_from_us_ != kNeverUs) {
    // Fallen asleep since: the session is over.
    awake_from_us_ = kNeverUs;
    device_.SetLoggedIn(false);
    device_.Note("logger asleep");
  }
  if (now < awake_from_us_) {
    if (byte != '\r') return;
    ++returns_asleep_;
    const uint64_t listen = (now + kListenPeriodUs - 1) / kListenPeriodUs * kListenPeriodUs;
    if (awake_from_us_ == kNeverUs && listen - now <= kListenWindowUs) {
      awake_from_us_ = listen;
      sleep_at_us_ = listen + kAwaitLoginUs;
      woke_at_us_ = listen;
      device_.Note("logger woken", std::to_string(returns_asleep_) + " carriage returns");
    }
    return;
  }
  FirmwareByte(byte);
}

void LoggerFirmware::FirmwareByte(uint8_t byte) {
  if (term_) {
    TermByte(byte);
    return;
  }
  if (byte == '\n') return;
  if (byte != '\r') {
    if (line_.size() < kMaxLine) {
      line_ += static_cast<char>(byte);
    } else {
      overflow_ = true;
    }
    return;
  }
  const std::string line = std::move(line_);
  const bool overflow = overflow_;
  line_.clear();
  overflow_ = false;
  if (overflow) {
    device_.Note("logger line too long");
    Refuse("ERROR");
    return;
  }
  Line(line);
}

// An old logger's "term": its own modem has the line until "term" comes back.
void LoggerFirmware::TermByte(uint8_t byte) {
  for (char c : logger_modem_.TakeByte(byte)) {
    if (c != '\r') {
      if (term_line_.size() < kMaxLine) term_line_ += c;
      continue;
    }
    const bool back = term_line_ == "term";
    term_line_.clear();
    if (back) {
      term_ = false;
      device_.Note("term ended");
      Answer("");
    }
  }
}

void LoggerFirmware::Line(const std::string& line) {
  if (line.empty()) {
    // On the radio bare carriage returns are the wake sequence: no prompt.
    if (!setup_.over_radio) device_.Reply("\r>", kAnswerUs);
    return;
  }
  ++lines_heard_;
  if (setup_.over_radio) {
    sleep_at_us_ = device_.Now() + (device_.LoggedIn() ? kSessionIdleUs : kAwaitLoginUs);
  }
  if (FaultTakesLine(line)) return;
  if (setup_.over_radio && RadioTakesLine(line)) return;
  Command(line);
}

bool LoggerFirmware::FaultTakesLine(const std::string& line) {
  const LoggerFaults& f = setup_.faults;
  if (f.silent_from != 0 && lines_heard_ >= f.silent_from &&
      lines_heard_ - f.silent_from < f.silent_lines) {
    device_.Note("fault: logger silent", line);
    if (lines_heard_ - f.silent_from + 1 == f.silent_lines) WatchdogRestart();
    return true;
  }
  if (!f.answer.empty() && StartsWith(line, f.answer_only_to.c_str())) {
    device_.Reply(f.answer, kAnswerUs);
    return true;
  }
  return false;
}

// Over the radio: the query and the login by name; a logger that is not
// logged into keeps quiet, since the air may hold other loggers' sessions.
bool LoggerFirmware::RadioTakesLine(const std::string& line) {
  const std::string& name = Store("name");
  if (line == "query") {
    device_.Reply(name + "\r>", kAnswerUs);
    return true;
  }
  if (StartsWith(line, "login")) {
    if (line != "login " + name) return true;  // someone else's
    device_.SetLoggedIn(true);
    sleep_at_us_ = device_.Now() + kSessionIdleUs;
    device_.Note("logged in");
    Ok();
    return true;
  }
  if (line == "logout") {
    if (setup_.faults.ignore_logout) return true;
    // The radio goes off at once: what follows is not heard.
    device_.SetLoggedIn(false);
    sleep_at_us_ = device_.Now();
    device_.Note("logged out, asleep");
    return true;
  }
  return !device_.LoggedIn();
}

void LoggerFirmware::WatchdogRestart() {
  ++resets_;
  baud_ = kFirmwareBaud;
  device_.SetLoggedIn(false);
  if (profile_.old_firmware) Store("resets") = std::to_string(std::stoi(Store("resets")) + 1);
  device_.Note("logger restarted", "watchdog");
}

void LoggerFirmware::Command(const std::string& line) {
  const bool old = profile_.old_firmware;
  if (line == "get -ver" && !old) {
    Answer(std::string(profile_.model_code) + " " + Version());
  } else if (line == "show" && old) {
    Show();
  } else if (Clock(line)) {
    // answered as a clock command
  } else if (StartsWith(line, "set -baud ") && !old) {
    SetBaud(line.substr(10));
  } else if (StartsWith(line, "get ")) {
    GetSetting(line.substr(4));
  } else if (StartsWith(line, "set ")) {
    const size_t blank = line.find(' ', 4);
    if (blank == std::string::npos) {
      Refuse("ERROR");  // a set without a value
    } else {
      SetSetting(line.substr(4, blank - 4), line.substr(blank + 1));
    }
  } else if (line == "yes") {
    Erase();
  } else if (line == "term" && old && (profile_.modems & kModemRadio)) {
    term_ = true;
    device_.Note("term: line handed to the logger's modem");
  } else if (line == "query") {
    device_.Reply(Store("name") + "\r>", kAnswerUs);
  } else if (line == "login" || StartsWith(line, "login ") || line == "logout") {
    Ok();
  } else {
    Refuse("?");
  }
}

void LoggerFirmware::GetSetting(const std::string& word) {
  const LoggerSetting* s = FindLoggerSetting(word);
  if (s == nullptr || (profile_.old_firmware && !s->old_firmware)) {
    Refuse("?");
    return;
  }
  if (!Has(s->get_features) || (s->cellular && !(profile_.modems & kModemCellular))) {
    Refuse("Unsupported");
    return;
  }
  if (!device_.Settings().count(s->key)) {
    // The command is there, the radio is not.
    Answer(s->form == LoggerValue::kRadioVer ? "OK\r00" : "No Radio");
    return;
  }
  Answer(ShowLoggerValue(*s, Store(s->key), Has(kFeatureShortAdcCal)));
}

void LoggerFirmware::SetSetting(const std::string& word, const std::string& value) {
  const LoggerSetting* s = FindLoggerSetting(word);
  if (s == nullptr || (profile_.old_firmware && !s->old_firmware)) {
    Refuse("?");
    return;
  }
  if (!Has(s->set_features) || (s->cellular && !(profile_.modems & kModemCellular))) {
    Refuse("Unsupported");
    return;
  }
  const bool radio = s->form == LoggerValue::kRadioHex;
  if (radio && !device_.Settings().count(s->key)) {
    Answer("No Radio");
    return;
  }
  const std::optional<std::string> checked =
      CheckLoggerValue(*s, value, Has(kFeatureShortAdcCal), Store(s->key));
  if (!checked) {
    device_.Note("value refused", word + " " + value);
    Refuse("ERROR");
    return;
  }
  Store(s->key) = *checked;
  if (radio) {
    Answer("OK\r\rOK");  // the logger's and its radio's
    return;
  }
  Ok();
}

// The clock: a date and a time of day, or (seconds clock) a count of seconds
// since 2000. True when the line was a clock command.
bool LoggerFirmware::Clock(const std::string& line) {
  const bool seconds = Has(kFeatureSecondsClock);
  const bool old = profile_.old_firmware;
  const bool get_date = (line == "get -t" && !old) || (line == "time" && old);
  const bool set_time = StartsWith(line, "set -t ");
  const bool set_date = StartsWith(line, "set -d ");
  const bool get_sec = line == "get -sec" && !old;
  const bool set_sec = StartsWith(line, "set -sec ") && !old;
  if (!get_date && !set_time && !set_date && !get_sec && !set_sec) return false;
  if (!Has(kFeatureClock) || seconds != (get_sec || set_sec)) {
    Refuse("Unsupported");
    return true;
  }
  const uint64_t now = device_.Now();
  const int64_t clock = device_.ClockSeconds(now);
  if (get_sec) {
    Answer(std::to_string(clock));
    return true;
  }
  if (set_sec) {
    const std::string text = line.substr(9);
    char* end = nullptr;
    errno = 0;
    const unsigned long long v = strtoull(text.c_str(), &end, 10);
    if (text.empty() || text[0] == '-' || *end != '\0' || errno != 0 || v > UINT32_MAX) {
      Refuse("ERROR");
      return true;
    }
    device_.SetClockSeconds(static_cast<int64_t>(v), now);
    Ok();
    return true;
  }
  LoggerDate date = DateOfSeconds(clock);
  if (get_date) {
    char text[64];
    snprintf(text, sizeof text, "Date\\Time: %d-%d-%d %d:%02d:%02d", date.year, date.month,
             date.day, date.hour, date.minute, date.second);
    Answer(text);
    return true;
  }
  int f[3] = {};
  const bool parsed = ParseFields(line.substr(7), set_time ? ':' : '-', f, 3);
  if (set_time && parsed && f[0] < 24 && f[1] < 60 && f[2] < 60) {
    date.hour = f[0];
    date.minute = f[1];
    date.second = f[2];
  } else if (set_date && parsed && ValidDay(f[0], f[1], f[2])) {
    date.year = f[0];
    date.month = f[1];
    date.day = f[2];
  } else {
    Refuse("ERROR");
    return true;
  }
  device_.SetClockSeconds(SecondsOfDate(date), now);
  Ok();
  return true;
}

// The logger answers at its present rate, then talks at the new one.
void LoggerFirmware::SetBaud(const std::string& code) {
  if (!Has(kFeatureBaud) || setup_.over_radio) {
    Refuse("Unsupported");
    return;
  }
  if (code.size() != 1 || code[0] < '0' || code[0] > '6') {
    Refuse("ERROR");
    return;
  }
  Ok();
  baud_ = kBaudOfCode[code[0] - '0'];
  device_.Note("logger baud", std::to_string(baud_));
}

void LoggerFirmware::Erase() {
  const bool old = profile_.old_firmware;
  if (device_.Setup().faults.dataflash_fail) {
    device_.Reply(old ? "\rDataFlash FAIL!\r>" : "\rDataFlash FAIL\r>", kAnswerUs);
    return;
  }
  device_.EraseData();
  device_.Note("data erased");
  device_.Reply(old ? "\rData erased OK!\r>" : "\rOK\r>", profile_.erase_ms * kMs);
}

// The old firmware's summary, every item behind its label and one blank.
void LoggerFirmware::Show() {
  Answer("ID: " + Store("name") + "\rVersion: " + Version() + "\rRadio: " + Store("rmode") +
         "\rWake: " + Store("interval") + "\rResets: " + Store("resets"));
}

// The factory's version, or the one the device was set up with.
std::string LoggerFirmware::Version() const {
  const char* given = device_.Setup().firmware_version;
  return given != nullptr ? given : profile_.version;
}

void LoggerFirmware::Answer(const std::string& value) {
  device_.Reply("\r" + value + "\r>", kAnswerUs);
}

// Writes: current firmware says "OK", the old firmware only prompts.
void LoggerFirmware::Ok() {
  device_.Reply(profile_.old_firmware ? "\r>" : "\rOK\r>", kAnswerUs);
}

void LoggerFirmware::Refuse(const char* word) {
  Answer(word);
}

}  // namespace halv::sim
