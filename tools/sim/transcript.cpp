#include "sim/transcript.h"

#include <cinttypes>

namespace halv::sim {
namespace {

// Memory kept for the in-process record; a file gets every line regardless.
constexpr size_t kMaxKeptLines = 200000;

std::string Stamp(uint64_t t_us) {
  char text[48];
  snprintf(text, sizeof text, "{\"t_ms\":%" PRIu64 ".%03u,", t_us / 1000,
           static_cast<unsigned>(t_us % 1000));
  return text;
}

}  // namespace

std::string JsonQuote(std::string_view text) {
  std::string out = "\"";
  for (const char c : text) {
    const auto b = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else if (b < 0x20 || b >= 0x7F) {
      char esc[8];
      snprintf(esc, sizeof esc, "\\u%04x", b);
      out += esc;
    } else {
      out += c;
    }
  }
  out += '"';
  return out;
}

Transcript::~Transcript() {
  if (file_ != nullptr) fclose(file_);
}

bool Transcript::WriteTo(const char* path) {
  if (file_ != nullptr) fclose(file_);
  file_ = fopen(path, "w");
  return file_ != nullptr;
}

void Transcript::Host(uint64_t t_us, std::string_view bytes) {
  Add(Stamp(t_us) + "\"from\":\"host\",\"text\":" + JsonQuote(bytes) + "}");
}

void Transcript::Device(uint64_t t_us, std::string_view bytes) {
  Add(Stamp(t_us) + "\"from\":\"device\",\"text\":" + JsonQuote(bytes) + "}");
}

void Transcript::Event(uint64_t t_us, std::string_view what, std::string_view detail) {
  std::string line = Stamp(t_us) + "\"event\":" + JsonQuote(what);
  if (!detail.empty()) line += ",\"detail\":" + JsonQuote(detail);
  Add(line + "}");
}

size_t Transcript::Count(std::string_view needle) const {
  size_t n = 0;
  for (const std::string& l : lines_) n += l.find(needle) != std::string::npos ? 1 : 0;
  return n;
}

void Transcript::Add(std::string line) {
  if (file_ != nullptr) {
    fputs(line.c_str(), file_);
    fputc('\n', file_);
    fflush(file_);
  }
  if (lines_.size() < kMaxKeptLines) lines_.push_back(std::move(line));
}

}  // namespace halv::sim
