// TI-Text files: loading one in place of the held image, writing the held
// image out, and installing the built-in image at construction.
#include "bsl/ti_text.h"

#include <sys/stat.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

#include "protocol/device_kinds.h"
#include "serial/clock.h"

namespace halv {
namespace {

constexpr size_t kImageNameChars = 64;
constexpr int kVersionDigits = 11;
constexpr int kDigitsPerLine = 32;
constexpr uint32_t kVectorSegment = 0xFFE0;

// The negated errno, never 0: a failure is never reported as success.
int32_t SystemError() {
  return errno != 0 ? -errno : -EIO;
}

// Reads the whole file, repeating partial reads; *size is what was read.
int32_t ReadFile(FILE* file, char* buffer, size_t capacity, size_t* size) {
  *size = 0;
  while (*size < capacity) {
    const size_t n = fread(buffer + *size, 1, capacity - *size, file);
    if (n == 0) {
      if (ferror(file)) return SystemError();
      break;  // the file ended sooner than its size said
    }
    *size += n;
  }
  buffer[*size] = '\0';
  return 1;
}

// The file's size in bytes, or a negated system error.
int64_t FileSize(FILE* file) {
  struct stat info;
  if (fstat(fileno(file), &info) != 0) return SystemError();
  return info.st_size;
}

// Reads and converts the file. On success *text owns the converted image.
// *framed tells whether the text began with "@" and held a "q".
int32_t LoadImage(HostBSL* host, FILE* file, char** text, uint32_t* length,
                  uint32_t vectors[kVectorCount], bool* framed) {
  *framed = true;  // errors before the text is seen are logged
  const int64_t size = FileSize(file);
  if (size < 0) return static_cast<int32_t>(size);
  char* contents = new (std::nothrow) char[static_cast<size_t>(size) + 1];
  if (contents == nullptr) return kBslNoMemory;
  size_t read = 0;
  int32_t rc = ReadFile(file, contents, static_cast<size_t>(size), &read);
  const TiTextFrame frame = FrameTiText(contents, read);
  char* output = nullptr;
  if (rc > 0 && !frame.valid) {
    *framed = false;
    rc = kBslBadImageFile;
  }
  if (rc > 0 && frame.output_capacity > UINT32_MAX) rc = kBslNoMemory;
  if (rc > 0) {
    output = new (std::nothrow) char[frame.output_capacity];
    if (output == nullptr) rc = kBslNoMemory;
  }
  if (rc > 0) {
    rc = ConvertTiText(contents, frame.text_length, output, frame.output_capacity,
                       &host->load_cursor, vectors);
    *length = static_cast<uint32_t>(host->load_cursor - output);
    host->load_cursor = nullptr;
  }
  delete[] contents;
  if (rc < 0) {
    delete[] output;
    return rc;
  }
  *text = output;
  return 1;
}

// The name up to the first blank, hyphen or underscore, looked up among the
// model codes of the device kind table; 0 when none matches.
uint8_t KindFromName(const char* name) {
  char code[kImageNameChars + 1] = {};
  const size_t n = strcspn(name, " -_");
  for (size_t i = 0; i < n; ++i)
    code[i] = static_cast<char>(toupper(static_cast<unsigned char>(name[i])));
  for (int kind = 1; kind < kKindCount; ++kind) {
    if (strcmp(DeviceKindModelCode(kind), code) == 0) return static_cast<uint8_t>(kind);
  }
  return 0;
}

// The decimal digits from the first blank or hyphen on, at most eleven, as
// one number. A number beyond 32 bits is no version at all (0).
uint32_t VersionFromName(const char* name) {
  const char* from = strpbrk(name, " -");
  if (from == nullptr) return 0;
  uint64_t value = 0;
  int digits = 0;
  for (const char* p = from; *p != '\0' && digits < kVersionDigits; ++p) {
    if (isdigit(static_cast<unsigned char>(*p))) {
      value = value * 10 + static_cast<uint64_t>(*p - '0');
      ++digits;
    }
  }
  return value <= UINT32_MAX ? static_cast<uint32_t>(value) : 0;
}

// A name like PUMATIC-1-07 shows its version as PUMATIC-1.07: when a hyphen
// stands between two digits, the last hyphen becomes a full stop.
void DotTheVersion(char* name) {
  bool between_digits = false;
  for (size_t i = 1; name[i] != '\0' && name[i + 1] != '\0'; ++i) {
    if (name[i] == '-' && isdigit(static_cast<unsigned char>(name[i - 1])) &&
        isdigit(static_cast<unsigned char>(name[i + 1]))) {
      between_digits = true;
    }
  }
  char* last = strrchr(name, '-');
  if (between_digits && last != nullptr) *last = '.';
}

// Writes the image text: each address on its own line, then its data digits
// 32 to a line.
void WriteSegments(FILE* file, const char* text, uint32_t length) {
  int on_line = 0;
  for (uint32_t i = 0; i < length;) {
    if (text[i] == '@') {
      // A segment whose digits did not fill their last line ends it here,
      // so that the address keeps a line of its own.
      if (on_line > 0) fputc('\n', file);
      const uint32_t n = length - i < kTiAddressChars ? length - i : kTiAddressChars;
      fwrite(text + i, 1, n, file);
      fputc('\n', file);
      i += n;
      on_line = 0;
      continue;
    }
    fputc(text[i++], file);
    if (++on_line == kDigitsPerLine) {
      fputc('\n', file);
      on_line = 0;
    }
  }
}

void WriteVectors(FILE* file, const uint32_t vectors[kVectorCount]) {
  fprintf(file, "\n@%X\n", kVectorSegment);
  const uint32_t* v = vectors;
  fprintf(file, "%04X%04X%04X%04X%04X%04X%04X%04X\n%04X%04X%04X%04X%04X%04X%04X%04X\n", v[0], v[1],
          v[2], v[3], v[4], v[5], v[6], v[7], v[8], v[9], v[10], v[11], v[12], v[13], v[14], v[15]);
}

}  // namespace

void InstallBuiltInImage(HostBSL* host, const BuiltInImage& image) {
  host->image_name.Assign(image.name);
  host->image_kind = image.kind;
  host->image_version = image.version;
  memcpy(host->vectors, image.vectors, sizeof host->vectors);

  char* text = new (std::nothrow) char[static_cast<size_t>(image.length) + 1];
  if (text == nullptr) {
    host->construction_error = kBslNoMemory;
    return;
  }
  memset(text, 0, static_cast<size_t>(image.length) + 1);
  const size_t stored = image.text != nullptr ? strnlen(image.text, image.text_capacity) : 0;
  const size_t copy = stored < image.length ? stored : image.length;
  int64_t sum = 0;
  for (size_t i = 0; i < copy; ++i) {
    text[i] = image.text[i];
    sum += static_cast<signed char>(image.text[i]);
  }
  delete[] host->image_text;
  host->image_text = text;
  // A damaged text is never walked past its end.
  host->image_length = static_cast<uint32_t>(copy);
  if (stored != image.length || sum != static_cast<int64_t>(image.sum)) {
    host->construction_error = kBslDamagedImage;
  }
}

void NameImageFromPath(HostBSL* host, const char* path) {
  const char* base = path;
  for (const char* p = path; *p != '\0'; ++p) {
    if (*p == '/' || *p == '\\') base = p + 1;
  }
  char name[kImageNameChars + 1] = {};
  strncpy(name, base, kImageNameChars);
  if (char* extension = strstr(name, ".txt")) *extension = '\0';
  host->image_kind = KindFromName(name);
  host->image_version = VersionFromName(name);
  DotTheVersion(name);
  host->image_name.Assign(name);
}

int32_t BSLLoadTIFile(HostBSL* host, const char* path) {
  const uint32_t start = MsTick();
  if (path == nullptr) return kBslMissingArgument;
  FILE* file = fopen(path, "rb");
  if (file == nullptr) {
    const int32_t rc = SystemError();
    LogMessage(host->log, kLogError, kBslTag,
               "BSLLoadTIFile got error %d trying to open datafile %s", -rc, path);
    return rc;
  }
  char* text = nullptr;
  uint32_t length = 0;
  uint32_t vectors[kVectorCount];
  bool framed = false;
  const int32_t rc = LoadImage(host, file, &text, &length, vectors, &framed);
  fclose(file);
  const int elapsed = static_cast<int>(MsTick() - start);
  if (rc < 0) {
    // A file that is not TI-Text at first sight is refused without a line.
    if (!framed) return rc;
    if (rc == kBslBadImageFile) {
      LogMessage(host->log, kLogNote, kBslTag,
                 "BSLLoadTIFile: file %s is not a valid TI-Text file (%d ms)", path, elapsed);
    } else {
      LogMessage(host->log, kLogError, kBslTag, "BSLLoadTIFile failed with error %d (%d ms)", rc,
                 elapsed);
    }
    return rc;
  }
  delete[] host->image_text;
  host->image_text = text;
  host->image_length = length;
  memcpy(host->vectors, vectors, sizeof host->vectors);
  NameImageFromPath(host, path);
  LogMessage(host->log, kLogNote, kBslTag, "BSLLoadTIFile loaded file %s (%d ms)", path, elapsed);
  return 1;
}

int32_t BSLWriteTIFile(HostBSL* host, const char* path) {
  const uint32_t start = MsTick();
  if (path == nullptr) return kBslMissingArgument;
  FILE* file = fopen(path, "wb");
  if (file == nullptr) {
    const int32_t rc = SystemError();
    LogMessage(host->log, kLogError, kBslTag,
               "BSLWriteTIFile got error %d trying to open datafile %s", -rc, path);
    return rc;
  }
  errno = 0;
  if (host->image_text != nullptr) WriteSegments(file, host->image_text, host->image_length);
  WriteVectors(file, host->vectors);
  int32_t rc = ferror(file) ? SystemError() : 1;
  if (fclose(file) != 0 && rc > 0) rc = SystemError();
  if (rc < 0) {
    // A full disk must not pass for a written file.
    LogMessage(host->log, kLogError, kBslTag, "BSLWriteTIFile got error %d writing datafile %s",
               -rc, path);
    return rc;
  }
  LogMessage(host->log, kLogNote, kBslTag, "BSLWriteTIFile wrote file %s (%d ms)", path,
             static_cast<int>(MsTick() - start));
  return 1;
}

}  // namespace halv
