#include "bsl/host_bsl.h"

#include <new>

#include "bsl/ti_text.h"

namespace halv {

HostBSL::HostBSL(DiagLog* log_record) : log(log_record) {
  channel.log = log_record;
  command_buffer = new (std::nothrow) char[kBslBufferSize];
  scratch_buffer = new (std::nothrow) char[kBslBufferSize];
  if (command_buffer == nullptr || scratch_buffer == nullptr) construction_error = kBslNoMemory;
  InstallBuiltInImage(this, kBuiltInImage);
}

HostBSL::~HostBSL() {
  BSLDisconnect(this);
  // A port the host opened is never left behind, even when a failed step
  // left it open without the connected flag.
  if (!borrowed) DSClose(&channel);
  delete[] command_buffer;
  delete[] scratch_buffer;
  delete[] image_text;
}

}  // namespace halv
