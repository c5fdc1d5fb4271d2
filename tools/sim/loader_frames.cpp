// The loader's side of the frame protocol: a command letter, a payload of
// hexadecimal digits, a full stop, four upper-case checksum digits and a
// carriage return. The checksum is 46 plus every byte of letter and payload
// (as signed 8-bit values), modulo 65535. "+\r" confirms a frame, "-\r"
// refuses it; a line that is no frame at all is answered "?\r".
#include <cstdio>
#include <string>
#include <vector>

#include "sim/sim_device.h"

namespace halv::sim {
namespace {

enum class FrameCheck { kGood, kMalformed, kWrongChecksum };

constexpr size_t kChecksumDigits = 4;
constexpr int64_t kChecksumModulus = 65535;
constexpr int64_t kChecksumStart = 46;  // the full stop
constexpr size_t kVectorDigits = 64;    // 16 words

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool IsFrameLetter(char c) {
  return c == 'g' || c == '@' || c == 'W' || c == 'X' || c == 'V';
}

FrameCheck CheckFrame(std::string_view line, std::string_view* payload) {
  if (line.size() < 1 + 1 + kChecksumDigits) return FrameCheck::kMalformed;
  const size_t dot = line.size() - 1 - kChecksumDigits;
  if (line[dot] != '.') return FrameCheck::kMalformed;
  int64_t sent = 0;
  for (size_t i = dot + 1; i < line.size(); ++i) {
    const char c = line[i];
    const bool upper_hex = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
    if (!upper_hex) return FrameCheck::kMalformed;
    sent = sent * 16 + HexValue(c);
  }
  int64_t sum = kChecksumStart;
  for (size_t i = 0; i < dot; ++i) sum += static_cast<int8_t>(line[i]);
  sum %= kChecksumModulus;
  if (sum < 0) sum += kChecksumModulus;
  if (sum != sent) return FrameCheck::kWrongChecksum;
  *payload = line.substr(1, dot - 1);
  return FrameCheck::kGood;
}

// An address of four or five hexadecimal digits.
bool ParseAddress(std::string_view payload, uint32_t* address) {
  if (payload.size() != 4 && payload.size() != 5) return false;
  uint32_t value = 0;
  for (const char c : payload) {
    const int v = HexValue(c);
    if (v < 0) return false;
    value = value * 16 + static_cast<uint32_t>(v);
  }
  *address = value;
  return true;
}

// Words of four digits, most significant digit first; each word's low byte
// goes to the lower address.
bool ParseWords(std::string_view payload, std::vector<uint8_t>* bytes) {
  if (payload.empty() || payload.size() % 4 != 0) return false;
  bytes->clear();
  for (size_t i = 0; i < payload.size(); i += 4) {
    uint32_t word = 0;
    for (size_t k = 0; k < 4; ++k) {
      const int v = HexValue(payload[i + k]);
      if (v < 0) return false;
      word = word * 16 + static_cast<uint32_t>(v);
    }
    bytes->push_back(static_cast<uint8_t>(word & 0xFF));
    bytes->push_back(static_cast<uint8_t>(word >> 8));
  }
  return true;
}

std::string Hex(uint32_t value) {
  char text[16];
  snprintf(text, sizeof text, "%X", value);
  return text;
}

std::string LoaderVersionAnswer(uint32_t version) {
  return "+" + std::to_string(version) + "+\r";
}

}  // namespace

void SimDevice::LoaderLine(const std::string& line, bool overflow) {
  const char letter = line.empty() ? '\0' : line[0];
  if (!IsFrameLetter(letter) && !overflow) {
    Reply("?\r");
    return;
  }
  const uint32_t n = ++frames_seen_;
  const FaultPlan& f = setup_.faults;
  const bool drop = n == f.drop_frame || (f.drop_every != 0 && n % f.drop_every == 0);
  const bool refuse = n == f.refuse_frame || (f.refuse_every != 0 && n % f.refuse_every == 0);
  if (drop) {
    Note("fault: frame lost", std::to_string(n));
  } else if (refuse) {
    Note("fault: frame refused", std::to_string(n));
    Reply("-\r");
  } else if (overflow) {
    Note("frame too long");
    Reply("-\r");
  } else {
    std::string_view payload;
    const FrameCheck check = CheckFrame(line, &payload);
    if (check == FrameCheck::kGood) {
      CarryOutFrame(letter, payload);
    } else if (letter == 'g') {
      // The firmware's "get -ver" from an updater that does not yet know the
      // loader is running: the version tells it.
      Reply(LoaderVersionAnswer(profile_.loader_version));
    } else {
      Note(check == FrameCheck::kMalformed ? "malformed frame" : "wrong checksum");
      Reply("-\r");
    }
  }
  if (f.unplug_after != 0 && n == f.unplug_after) {
    Note("fault: line pulled", std::to_string(n));
    if (sink_ != nullptr) sink_->Unplug();
  }
}

void SimDevice::CarryOutFrame(char letter, std::string_view payload) {
  switch (letter) {
    case 'g':
      Reply(LoaderVersionAnswer(profile_.loader_version));
      break;
    case '@':
      FrameSetAddress(payload);
      break;
    case 'W':
      FrameWrite(payload);
      break;
    case 'X':
      FrameErase(payload);
      break;
    case 'V':
      FrameVectors(payload);
      break;
    default:
      Reply("?\r");
      break;
  }
}

void SimDevice::FrameSetAddress(std::string_view payload) {
  uint32_t address = 0;
  if (!ParseAddress(payload, &address)) {
    Note("bad address", payload);
    Reply("-\r");
    return;
  }
  address_ = address;
  Reply("+\r");
}

void SimDevice::FrameWrite(std::string_view payload) {
  std::vector<uint8_t> bytes;
  if (!ParseWords(payload, &bytes)) {
    Note("bad write payload");
    Reply("-\r");
    return;
  }
  uint32_t refused_at = 0;
  if (!memory_.Program(address_, bytes.data(), bytes.size(), &refused_at)) {
    // Flash cannot be written twice without an erase: a host that does so
    // has lost track of the device.
    refused_writes_.push_back(refused_at);
    Note("write refused", Hex(refused_at));
    Reply("-\r");
    return;
  }
  address_ += static_cast<uint32_t>(bytes.size());
  uint64_t busy_us = 0;
  if (setup_.device_timing) {
    const uint32_t per_word = setup_.write_us_per_word >= 0
                                  ? static_cast<uint32_t>(setup_.write_us_per_word)
                                  : profile_.write_us_per_word;
    busy_us = static_cast<uint64_t>(per_word) * (bytes.size() / 2);
  }
  Reply("+\r", busy_us);
}

void SimDevice::FrameErase(std::string_view payload) {
  uint32_t address = 0;
  uint32_t start = 0;
  uint32_t end = 0;
  if (!ParseAddress(payload, &address) || !memory_.EraseSegment(address, &start, &end)) {
    Note("erase refused", payload);
    Reply("-\r");
    return;
  }
  ++erases_;
  Note("erase", Hex(start) + "-" + Hex(end - 1));
  // The host programs the vector segment but can never erase it (its start
  // lies in the range the erase refuses); the loader clears it together with
  // the first segment of the application flash.
  if (memory_.InMain(address) && start <= profile_.flash_start && profile_.flash_start < end &&
      memory_.InMain(kVectorSegmentStart)) {
    memory_.EraseRange(kVectorSegmentStart, kVectorSegmentEnd);
    Note("erase", Hex(kVectorSegmentStart) + "-" + Hex(kVectorSegmentEnd - 1));
  }
  uint64_t busy_us = 0;
  if (setup_.device_timing) {
    const uint32_t ms = setup_.erase_ms >= 0 ? static_cast<uint32_t>(setup_.erase_ms)
                                             : profile_.erase_ms_per_segment;
    busy_us = static_cast<uint64_t>(ms) * 1000;
  }
  Reply("+\r", busy_us);
}

void SimDevice::FrameVectors(std::string_view payload) {
  std::vector<uint8_t> bytes;
  if (payload.size() != kVectorDigits || !ParseWords(payload, &bytes)) {
    Note("bad vector payload");
    Reply("-\r");
    return;
  }
  uint32_t refused_at = 0;
  if (!memory_.Program(kVectorTableStart, bytes.data(), bytes.size(), &refused_at)) {
    refused_writes_.push_back(refused_at);
    Note("vector write refused", Hex(refused_at));
    Reply("-\r");
    return;
  }
  // The host waits for the plus sign itself; nothing follows it.
  Reply("+");
  Restart();
}

}  // namespace halv::sim
