#include "gui/qt_event_pump.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

namespace halv::gui {

void QtEventPump::WaitForInput(uint32_t max_ms) {
  if (&CurrentClock() != &SystemClock()) {
    // Virtual time (the tests): the time passes at once; the events that
    // came in meanwhile are dispatched next.
    CurrentClock().SleepMs(max_ms);
    return;
  }
  // Sleep in the event loop until an event comes or the time is up; the
  // timer wakes it at the latest.
  QTimer wake;
  wake.setSingleShot(true);
  wake.start(static_cast<int>(max_ms > INT32_MAX ? INT32_MAX : max_ms));
  QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

void QtEventPump::DispatchPending() {
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}

}  // namespace halv::gui
