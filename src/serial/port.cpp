#include "serial/port.h"

namespace halv {
namespace {
PortBackend* g_backend = nullptr;
}  // namespace

PortBackend* SetPortBackend(PortBackend* backend) {
  PortBackend* previous = g_backend;
  g_backend = backend;
  return previous;
}

PortBackend& CurrentPortBackend() {
  return g_backend != nullptr ? *g_backend : SystemPortBackend();
}

}  // namespace halv
