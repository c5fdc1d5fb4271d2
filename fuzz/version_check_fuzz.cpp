// The version-check server's answer: a version and a web address. Qt Core
// only; no application object is needed to read it.
#include <QByteArray>
#include <cstddef>
#include <cstdint>

#include "web/version_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArray answer(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  const halv::VersionAnswer read = halv::ParseVersionAnswer(answer);
  if (read.code == 1 && !read.link.startsWith(QLatin1String("http"), Qt::CaseInsensitive)) {
    __builtin_trap();
  }
  return 0;
}
