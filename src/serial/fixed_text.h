// A zero-terminated character array of fixed width, as the records keep their
// texts. Every copy into it is bounded by its width: over-long input is cut.
#pragma once

#include <cstddef>
#include <cstring>
#include <string_view>

namespace halv {

template <size_t N>
struct FixedText {
  static_assert(N >= 1, "room for the terminating zero");
  char text[N] = {};

  static constexpr size_t Capacity() { return N - 1; }

  // Copies at most max_chars characters (and never more than the width
  // allows) and zero-terminates. Stops at an embedded zero.
  void Assign(std::string_view source, size_t max_chars = N - 1) {
    size_t n = source.size();
    if (n > max_chars) n = max_chars;
    if (n > N - 1) n = N - 1;
    if (n > 0) {
      const void* zero = std::memchr(source.data(), 0, n);
      if (zero != nullptr) n = static_cast<size_t>(static_cast<const char*>(zero) - source.data());
      std::memcpy(text, source.data(), n);
    }
    text[n] = '\0';
  }
  void Assign(const char* source, size_t max_chars = N - 1) {
    Assign(source != nullptr ? std::string_view(source, strnlen(source, max_chars))
                             : std::string_view(),
           max_chars);
  }
  void Clear() { text[0] = '\0'; }

  const char* c_str() const { return text; }
  size_t size() const { return strnlen(text, N); }
  bool empty() const { return text[0] == '\0'; }
  std::string_view view() const { return std::string_view(text, size()); }
  bool operator==(std::string_view other) const { return view() == other; }
};

}  // namespace halv
