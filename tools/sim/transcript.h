// A record of every exchange with the simulated device, one JSON object per
// line: what the host sent, what the device answered, and what the device
// did on its own (a restart, a refused write, an injected fault).
//   {"t_ms":1234.567,"from":"host","text":"X8000.0141\r"}
//   {"t_ms":1234.600,"from":"device","text":"+\r"}
//   {"t_ms":1234.600,"event":"erase","detail":"8000-81FF"}
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace halv::sim {

class Transcript {
 public:
  Transcript() = default;
  ~Transcript();
  Transcript(const Transcript&) = delete;
  Transcript& operator=(const Transcript&) = delete;

  // Also appends every line to this file. False when it does not open.
  bool WriteTo(const char* path);

  void Host(uint64_t t_us, std::string_view bytes);
  void Device(uint64_t t_us, std::string_view bytes);
  void Event(uint64_t t_us, std::string_view what, std::string_view detail = {});

  const std::vector<std::string>& Lines() const { return lines_; }
  // Lines holding this text (a quick look-up for tests).
  size_t Count(std::string_view needle) const;

 private:
  void Add(std::string line);

  std::vector<std::string> lines_;
  FILE* file_ = nullptr;
};

// The text as a JSON string literal: control and non-ASCII bytes as \u00XX.
std::string JsonQuote(std::string_view text);

}  // namespace halv::sim
