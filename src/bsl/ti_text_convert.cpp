// TI-Text to the in-memory image, one segment at a time. A segment starts at
// an "@", holds its address up to the line's end and its data after it, and
// ends at the next "@" or at the end marker "q".
#include "bsl/ti_text_convert.h"

#include <cstring>

namespace halv {
namespace {

constexpr uint32_t kErasedWord = 0xFFFF;
constexpr size_t kDigitsPerWord = 4;

// The value of every byte as a hexadecimal digit, or -1: files can be large,
// so each character costs one look-up.
struct HexTable {
  int8_t value[256];
  constexpr HexTable() : value() {
    for (int c = 0; c < 256; ++c) {
      value[c] = -1;
      if (c >= '0' && c <= '9') value[c] = static_cast<int8_t>(c - '0');
      if (c >= 'A' && c <= 'F') value[c] = static_cast<int8_t>(c - 'A' + 10);
      if (c >= 'a' && c <= 'f') value[c] = static_cast<int8_t>(c - 'a' + 10);
    }
  }
};
constexpr HexTable kHex;

int HexValue(char c) {
  return kHex.value[static_cast<unsigned char>(c)];
}

char UpperDigit(int value) {
  return "0123456789ABCDEF"[value & 0xF];
}

// Reads the address after the "@" like "@%x": blanks, an optional "0x", then
// hexadecimal digits. Any number of digits is read without overflow; an
// address that does not fit five digits is flagged.
bool ReadAddress(const char* text, size_t length, size_t* pos, uint32_t* address, bool* too_large) {
  size_t p = *pos;
  while (p < length && (text[p] == ' ' || text[p] == '\t')) ++p;
  if (p + 2 < length && text[p] == '0' && (text[p + 1] == 'x' || text[p + 1] == 'X') &&
      HexValue(text[p + 2]) >= 0) {
    p += 2;
  }
  uint32_t value = 0;
  size_t digits = 0;
  *too_large = false;
  for (int d; p < length && (d = HexValue(text[p])) >= 0; ++p, ++digits) {
    value = value * 16 + static_cast<uint32_t>(d);
    if (value > kTiLargestAddress) {
      *too_large = true;
      value = kTiLargestAddress;
    }
  }
  *pos = p;
  *address = value;
  return digits > 0;
}

// Collects hexadecimal digits four at a time, skipping everything else.
class WordReader {
 public:
  WordReader(const char* data, size_t length) : data_(data), length_(length) {}
  // Fills group with the next four digits; returns how many were found (a
  // short count only at the end of the data).
  size_t Next(int group[kDigitsPerWord]) {
    size_t found = 0;
    while (found < kDigitsPerWord && pos_ < length_) {
      const int d = HexValue(data_[pos_++]);
      if (d >= 0) group[found++] = d;
    }
    return found;
  }

 private:
  const char* data_;
  size_t length_;
  size_t pos_ = 0;
};

// The file holds a word's low byte first; the in-memory form writes the
// word most significant digit first, so the digits 3140 become 4031.
uint32_t WordValue(const int g[kDigitsPerWord]) {
  return static_cast<uint32_t>(g[2] << 12 | g[3] << 8 | g[0] << 4 | g[1]);
}

int32_t ReadVectors(const char* data, size_t length, uint32_t address,
                    uint32_t vectors[kTiVectorCount]) {
  WordReader reader(data, length);
  int group[kDigitsPerWord];
  size_t index = (address - kTiVectorBase) / 2;
  for (size_t found; (found = reader.Next(group)) > 0; ++index) {
    if (found < kDigitsPerWord) return kTiTextInvalid;
    if (index < kTiVectorCount) vectors[index] = WordValue(group);
  }
  return kTiTextConverted;
}

class Output {
 public:
  Output(char* end, char** cursor) : end_(end), cursor_(cursor) {}
  bool Fits(size_t count) const { return static_cast<size_t>(end_ - *cursor_) > count; }
  void Put(char c) { *(*cursor_)++ = c; }
  void Finish() { **cursor_ = '\0'; }

 private:
  char* end_;
  char** cursor_;
};

int32_t AppendSegment(const char* data, size_t length, uint32_t address, Output* out) {
  if (!out->Fits(kTiAddressChars)) return kTiTextOverflow;
  out->Put('@');
  for (int shift = 16; shift >= 0; shift -= 4)
    out->Put(UpperDigit(static_cast<int>(address >> shift)));
  WordReader reader(data, length);
  int group[kDigitsPerWord];
  for (size_t found; (found = reader.Next(group)) > 0;) {
    // An unfinished last word is filled up with "F": a lone byte 31 is FF31.
    for (size_t i = found; i < kDigitsPerWord; ++i) group[i] = 0xF;
    if (!out->Fits(kDigitsPerWord)) return kTiTextOverflow;
    out->Put(UpperDigit(group[2]));
    out->Put(UpperDigit(group[3]));
    out->Put(UpperDigit(group[0]));
    out->Put(UpperDigit(group[1]));
  }
  out->Finish();
  return kTiTextConverted;
}

}  // namespace

TiTextFrame FrameTiText(const char* file, size_t size) {
  TiTextFrame frame;
  if (size == 0 || file[0] != '@') return frame;
  const char* end = static_cast<const char*>(memchr(file, 'q', size));
  if (end == nullptr) return frame;
  frame.valid = true;
  frame.text_length = static_cast<size_t>(end - file);
  // Each segment gives its six address characters, its digits and at most
  // three filled up; address digits counted as data only widen the bound.
  size_t segments = 0;
  size_t digits = 0;
  for (size_t i = 0; i < frame.text_length; ++i) {
    if (file[i] == '@') {
      ++segments;
    } else if (HexValue(file[i]) >= 0) {
      ++digits;
    }
  }
  frame.output_capacity = segments * (kTiAddressChars + kDigitsPerWord - 1) + digits + 1;
  return frame;
}

int32_t ConvertTiText(const char* file, size_t text_length, char* output, size_t capacity,
                      char** cursor, uint32_t vectors[kTiVectorCount], const char** fault) {
  const char* ignored = nullptr;
  if (fault == nullptr) fault = &ignored;
  *fault = nullptr;
  for (int i = 0; i < kTiVectorCount; ++i) vectors[i] = kErasedWord;
  *cursor = output;
  if (capacity == 0) return kTiTextOverflow;
  Output out(output + capacity, cursor);
  out.Finish();
  if (text_length == 0 || file[0] != '@') {
    *fault = "it does not begin with \"@\"";
    return kTiTextInvalid;
  }

  bool has_vectors = false;
  size_t start = 0;
  while (start < text_length) {
    const char* next =
        static_cast<const char*>(memchr(file + start + 1, '@', text_length - start - 1));
    const size_t end = next != nullptr ? static_cast<size_t>(next - file) : text_length;
    const char* segment = file + start;
    const size_t length = end - start;
    start = end;

    size_t pos = 1;
    uint32_t address = 0;
    bool too_large = false;
    if (!ReadAddress(segment, length, &pos, &address, &too_large)) {
      *fault = "an \"@\" has no address";
      return kTiTextInvalid;
    }
    if (too_large) {
      *fault = "an address does not fit five hexadecimal digits";
      return kTiTextInvalid;
    }
    const char* line_end = static_cast<const char*>(memchr(segment + pos, '\n', length - pos));
    if (line_end == nullptr) {
      *fault = "an address line has no line end";
      return kTiTextInvalid;
    }
    const char* data = line_end + 1;
    const size_t data_length = length - static_cast<size_t>(data - segment);

    int32_t rc = kTiTextConverted;
    if (address >= kTiVectorBase && address <= kTiVectorLast) {
      has_vectors = true;
      rc = ReadVectors(data, data_length, address, vectors);
      if (rc < 0) *fault = "a vector word is cut short";
    } else if (address >= kTiProtectedFirst && address < kTiProtectedEnd) {
      continue;  // protected segments never come from a file
    } else {
      rc = AppendSegment(data, data_length, address, &out);
      if (rc < 0) *fault = "the output buffer is too small";
    }
    if (rc < 0) return rc;
  }
  if (!has_vectors) {
    *fault = "it has no vector segment (FFE0 to FFFE)";
    return kTiTextInvalid;
  }
  return kTiTextConverted;
}

}  // namespace halv
