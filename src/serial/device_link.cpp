#include "serial/device_link.h"

#include <new>

namespace halv {
namespace {
LinkDisconnectHook g_disconnect = nullptr;
}  // namespace

void SetLinkDisconnectHook(LinkDisconnectHook hook) {
  g_disconnect = hook;
}

DeviceLink::DeviceLink(DiagLog* log_record) : log(log_record) {
  channel.log = log_record;
  response = new (std::nothrow) char[kResponseBufferSize];
  receive_buffer_storage = new (std::nothrow) char[kReceiveBufferSize];
  if (response == nullptr || receive_buffer_storage == nullptr) {
    construction_status = kSerialNoMemory;
  }
  if (response != nullptr) response[0] = '\0';
  if (receive_buffer_storage != nullptr) receive_buffer_storage[0] = '\0';
  channel.receive_buffer = receive_buffer_storage;
}

DeviceLink::~DeviceLink() {
  if (request.connection_kind != kConnectionNone) {
    options.keep_port_open = 0;
    if (g_disconnect != nullptr) g_disconnect(this);
  }
  // Whatever is still open is closed; the buffer is the link's, not the
  // channel's, so DSClose leaves it alone.
  DSClose(&channel);
  channel.receive_buffer = nullptr;
  delete[] response;
  delete[] receive_buffer_storage;
}

}  // namespace halv
