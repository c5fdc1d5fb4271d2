// The update sequence's branches that end before any device answers.
#include "app/instrument_updater.h"

#include <gtest/gtest.h>

#include "protocol/instrument.h"
#include "support/recording_window.h"
#include "support/virtual_line.h"

namespace halv {
namespace {

class UpdaterTest : public test::VirtualLineTest {
 protected:
  UpdaterTest() : connection(&log), host(&log), updater(&window, &log, &connection, &host) {
    updater.settings.device_name = "Pumatic";
    updater.settings.window_caption = "Pumatic Firmware Updater";
    updater.settings.port_name = "ttyUSB0";
    updater.settings.port_display_text = "ttyUSB0 FT232R USB UART";
    updater.settings.app_data_folder = dir.Path().string();
    updater.settings.updater_firmware_version = 106;
  }

  test::RecordingWindow window;
  InstrumentConnection connection;
  HostBSL host;
  InstrumentUpdater updater;
};

TEST_F(UpdaterTest, PortErrorsGiveTheirMessages) {
  struct Case {
    int32_t open_error;
    std::string text;
  };
  const Case cases[] = {
      {-5,
       "Comm Port \"ttyUSB0 FT232R USB UART\" is already in use by another application.\n"
       "Please choose a new Comm Port to use or quit the application using this port."},
      {-2,
       "Comm Port \"ttyUSB0 FT232R USB UART\" isn't available.\n"
       "Please choose a new Comm Port to use."},
      {-13,
       "Comm Port \"ttyUSB0 FT232R USB UART\" can't be opened: you don't have permission to use "
       "it.\n"},
  };
  for (const Case& c : cases) {
    line->SetOpenError(c.open_error);
    window.boxes.clear();
    EXPECT_EQ(updater.Run(), -20) << c.open_error;
    ASSERT_EQ(window.boxes.size(), 1u) << c.open_error;
    EXPECT_EQ(window.boxes[0].text.substr(0, c.text.size()), c.text);
    EXPECT_EQ(window.boxes[0].caption, "Connection Error");
    EXPECT_EQ(updater.Failure(), UpdateFailure::kConnection);
    EXPECT_FALSE(window.status_visible);
    EXPECT_EQ(window.progress, 0);
    EXPECT_EQ(window.connect_label, "Connect Pumatic to computer comm port.");
    EXPECT_FALSE(updater.Busy());
  }
  EXPECT_TRUE(Logged("ErrorOK Told User:: Comm Port \"ttyUSB0 FT232R USB UART\" isn't available."));
}

TEST_F(UpdaterTest, QuitGuardKeepsABusyRunGoing) {
  window.answers = {true};
  EXPECT_TRUE(updater.ConfirmQuit());  // not busy: the window may close
  EXPECT_TRUE(window.boxes.empty());
}

}  // namespace
}  // namespace halv
