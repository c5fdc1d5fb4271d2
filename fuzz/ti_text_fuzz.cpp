// A firmware file's TI-Text: framed, then converted into the in-memory image.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "bsl/ti_text_convert.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const char* file = reinterpret_cast<const char*>(data);
  const halv::TiTextFrame frame = halv::FrameTiText(file, size);
  if (!frame.valid) return 0;
  if (frame.text_length > size) __builtin_trap();
  std::vector<char> output(frame.output_capacity);
  char* cursor = output.data();
  uint32_t vectors[halv::kTiVectorCount];
  for (uint32_t& v : vectors) v = 0xFFFF;
  const char* fault = nullptr;
  const int32_t rc = halv::ConvertTiText(file, frame.text_length, output.data(), output.size(),
                                         &cursor, vectors, &fault);
  // The bound the frame gave must hold whatever the text.
  if (rc == halv::kTiTextOverflow) __builtin_trap();
  if (cursor < output.data() || cursor >= output.data() + output.size()) __builtin_trap();
  return 0;
}
