// The conversion of TI-Text into the loader host's in-memory image: segments of
// "@" with five address digits followed by data words, four digits each, most
// significant digit first; the vector table kept apart. No files and no log
// here, so the build's image converter uses the very same rules as a load.
#pragma once

#include <cstddef>
#include <cstdint>

namespace halv {

constexpr int kTiVectorCount = 16;
constexpr uint32_t kTiVectorBase = 0xFFE0;
constexpr uint32_t kTiVectorLast = 0xFFFE;
// Segments that start here are protected and never taken from a file.
constexpr uint32_t kTiProtectedFirst = 0xFA00;
constexpr uint32_t kTiProtectedEnd = 0xFDFF;  // exclusive
// The in-memory form has five address digits.
constexpr uint32_t kTiLargestAddress = 0xFFFFF;
// "@" and five digits.
constexpr uint32_t kTiAddressChars = 6;

// What a first look at a file's text finds.
struct TiTextFrame {
  size_t text_length = 0;      // characters before the first "q"
  size_t output_capacity = 0;  // a bound of the converted text, terminating zero included
  bool valid = false;          // begins with "@" and holds a "q"
};

// Finds the end marker and bounds the converted text. Binary bytes, a zero
// byte included, are characters like any other.
TiTextFrame FrameTiText(const char* file, size_t size);

enum TiTextResult : int32_t {
  kTiTextConverted = 1,
  kTiTextInvalid = -100,
  kTiTextOverflow = -60,  // the output buffer is too small
};

// Converts text_length characters of TI-Text (as framed above) into output,
// advancing *cursor (which starts at output) as it writes, zero-terminated.
// vectors receives the vector segment's words over the 0xFFFF it must be
// started with. Invalid: no address after an "@", an address beyond five
// digits, no line feed after an address, a vector segment with an unfinished
// word, or no vector segment at all; *fault, when given, then says which.
int32_t ConvertTiText(const char* file, size_t text_length, char* output, size_t capacity,
                      char** cursor, uint32_t vectors[kTiVectorCount],
                      const char** fault = nullptr);

}  // namespace halv
