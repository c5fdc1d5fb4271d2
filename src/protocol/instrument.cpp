#include "protocol/instrument.h"

#include <new>

namespace halv {

InstrumentConnection::InstrumentConnection(DiagLog* log_record)
    : link(std::make_unique<DeviceLink>(log_record)),
      sdi(std::make_unique<SDISensor>(log_record, link.get())),
      log(log_record) {}

InstrumentConnection::~InstrumentConnection() {
  ReleaseRecords(&user_records);
  ReleaseRecords(&equation_records);
  // The sensor keeps a pointer to the link: it goes first.
  sdi.reset();
  link.reset();
}

void ClearCapturedSettings(InstrumentConnection* connection) {
  if (connection == nullptr) return;
  connection->settings_saved = 0;
  connection->saved_flags = 0;
}

DeviceLink* ConnectionLink(InstrumentConnection* connection) {
  return connection != nullptr ? connection->link.get() : nullptr;
}

const char* CapturedAdc(const InstrumentConnection* connection) {
  return connection != nullptr ? connection->captured.adc.c_str() : nullptr;
}

const char* RecordTypeWord(int type) {
  switch (type) {
    case kEquationRecords:
      return "eqn";
    case kUserRecords:
      return "user";
    default:
      return nullptr;
  }
}

bool ReleaseRecords(RecordList* list) {
  const bool held = list->records != nullptr;
  list->records.reset();
  list->count = 0;
  return held;
}

bool AllocateRecords(RecordList* list, int32_t count) {
  ReleaseRecords(list);
  if (count <= 0) return true;
  list->records.reset(new (std::nothrow) SettingRecord[static_cast<size_t>(count)]);
  if (list->records == nullptr) return false;
  list->count = count;
  return true;
}

}  // namespace halv
