#include "gui/guidance_texts.h"

#include <iterator>

namespace halv::gui {
namespace {

// Indexed by device kind code 0 to 24: true where the update erases data the
// user should download first.
constexpr bool kWarnsBeforeErasing[] = {
    false,  //  0
    true,   //  1
    true,   //  2
    true,   //  3
    true,   //  4
    true,   //  5
    false,  //  6
    true,   //  7
    true,   //  8
    true,   //  9
    false,  // 10
    true,   // 11
    false,  // 12
    false,  // 13
    true,   // 14
    true,   // 15
    true,   // 16
    false,  // 17
    true,   // 18
    true,   // 19
    false,  // 20
    false,  // 21
    true,   // 22
    true,   // 23
    false,  // 24
};
static_assert(std::size(kWarnsBeforeErasing) == 25, "one row per device kind code 0 to 24");

}  // namespace

const char* const kMakerContactBlock =
    "QUORRIN Group\n"
    "4120 Harbor Ridge Parkway, Suite 200\n"
    "Portland, OR 97217 USA\n"
    "Phone: +1 503 555 0142\n"
    "Fax: +1 503 555 0143\n"
    "E-mail: support@quorrin.example\n"
    "Web: https://www.quorrin.example\n";

bool WarnsBeforeErasing(int device_kind) {
  return device_kind >= 0 && device_kind < static_cast<int>(std::size(kWarnsBeforeErasing)) &&
         kWarnsBeforeErasing[device_kind];
}

std::string EraseWarningText(const std::string& updater, const std::string& device) {
  return "WARNING: The " + updater + " will erase all measurement data\n stored in your " + device +
         ".\n\n Please download any data you want to save before continuing.";
}

std::string HelpText(const std::string& updater, const std::string& device, bool warns_erasing) {
  std::string text = "The " + updater + " replaces the firmware that operates your " + device +
                     ".\n" + "Following the simple steps will help ensure a successful update.\n\n";
  if (warns_erasing) {
    text += "WARNING: Updating the firmware in your " + device +
            " will erase any stored measurement data.\n" +
            "Please download any measurement data stored in your " + device +
            " that you want to save.\n\n";
  }
  text += "Before beginning these steps, please make sure your instrument is powered on.\n\n";
  text += "Step 1. Connect your " + device + " to an available USB or serial communication port " +
          "on your\ncomputer.\n\n";
  text += "Step 2. Select the correct port from the Comm Port control.\n\n";
  text += "Step 3. Click the \"Start\" button. The updater shows progress in the Status area.\n\n";
  text += "WARNING: Do not disconnect your " + device +
          " from the computer while the updater is running.\n";
  text += "An incomplete firmware update could leave your " + device + " unusable.\n\n";
  text +=
      "WARNING: Do not quit the " + device + " Firmware Updater while the updater is running.\n";
  text += "An incomplete firmware update could leave your " + device + " unusable.\n\n";
  text += "Step 4. Once the update is complete, you can disconnect your " + device +
          " from the computer.\n";
  text += "Please verify your " + device + " configuration is correct. ";
  text += "Enjoy using the updated firmware version.\n\n";
  text +=
      "If you have trouble with this " + device + " Firmware Updater, Please contact QUORRIN or\n";
  text += "an authorized QUORRIN Group Distributor for help:\n\n";
  text += kMakerContactBlock;
  return text;
}

std::string AboutText(const std::string& file_version) {
  // The first line names the platform the updater runs on.
  return "Firmware Updater for Linux\n\nHalvBSL Engine version " + file_version +
         "\nCommunication Protocol version " + kProtocolVersion + "\n\n" +
         "\u00a9 QUORRIN Group. All rights reserved.";
}

std::string AboutCaption(const std::string& device) {
  return "About " + device + " Firmware Updater";
}

}  // namespace halv::gui
