#include "gui/port_list.h"

#include <cstdlib>

namespace halv::gui {

std::vector<std::string> SplitNamedPorts(const char* value) {
  std::vector<std::string> paths;
  if (value == nullptr) return paths;
  std::string piece;
  for (const char* c = value;; ++c) {
    if (*c == ':' || *c == '\0') {
      if (!piece.empty()) paths.push_back(piece);
      piece.clear();
      if (*c == '\0') break;
    } else {
      piece.push_back(*c);
    }
  }
  return paths;
}

PortLister SystemPortLister(DiagLog* log) {
  return [log](bool force_all, PortEntry* entries, int32_t capacity, int32_t* count) {
    PortSources sources;
    sources.named_ports = SplitNamedPorts(getenv(kNamedPortsVariable));
    SerialChannel channel;
    channel.log = log;
    *count = capacity;
    return CommPortEnum(&channel, sources, entries, count, force_all);
  };
}

}  // namespace halv::gui
