// A device's version text, read on its own and as the reply to "get -ver"
// (with an old logger's "show" reply after it).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_line.h"
#include "logger/logger_link.h"
#include "logger/version_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const uint8_t selector = halv::fuzz::TakeSelector(&data, &size);
  const std::string_view reply(reinterpret_cast<const char*>(data), size);
  {
    const std::string text(reply);
    // A version is composed only from a major number that was read (callers
    // ask for more); then it cannot overflow.
    const halv::VersionText version = halv::ReadVersionText(text.c_str());
    if (version.count >= 2) halv::ComposeVersion(version.major, version.minor, version.patch);
    int32_t major = 0, minor = 0, patch = 0;
    if (halv::ReadVersionNumber(text.c_str(), &major, &minor, &patch) >= 1) {
      halv::ComposeVersion(major, minor, patch);
    }
  }
  halv::fuzz::FuzzLine line(reply);
  halv::DeviceLink link(&line.log);
  if (!halv::fuzz::OpenFuzzLink(&link, selector & 2)) return 0;
  link.settings = halv::LoggerSettings{};
  halv::VerCommand(&link, selector & 1);
  return 0;
}
