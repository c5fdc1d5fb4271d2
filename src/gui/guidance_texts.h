// The texts the window shows outside an update: the Data Erase Warning, the
// Help text and the About text, and which kinds warn before erasing.
#pragma once

#include <string>

namespace halv::gui {

// Whether an update of this kind erases stored data that the user should
// download first: the start-up warning and the Help text's warning paragraph.
bool WarnsBeforeErasing(int device_kind);

std::string EraseWarningText(const std::string& updater, const std::string& device);
inline constexpr const char* kEraseWarningCaption = "Data Erase Warning";

std::string HelpText(const std::string& updater, const std::string& device, bool warns_erasing);
inline constexpr const char* kHelpCaption = "Help";

// The program's version for the About box; the protocol version is fixed.
inline constexpr const char* kProtocolVersion = "1.8.4";
std::string AboutText(const std::string& file_version);
std::string AboutCaption(const std::string& device);

// The maker's contact block that ends the Help text.
extern const char* const kMakerContactBlock;

}  // namespace halv::gui
