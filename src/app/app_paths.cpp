#include "app/app_paths.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>

namespace halv {
namespace {

constexpr const char* kFolderSuffix = "/Halvard/HalvBSL";
constexpr const char* kSettingsEnding = ".settings.txt";

bool MakeFolders(const std::string& path) {
  std::error_code error;
  std::filesystem::create_directories(path, error);
  return std::filesystem::is_directory(path, error);
}

}  // namespace

std::string ApplicationDataFolder(const std::string& program_folder) {
  std::string base;
  const char* xdg = getenv("XDG_DATA_HOME");
  // A relative XDG_DATA_HOME is invalid and is ignored, as the convention says.
  if (xdg != nullptr && xdg[0] == '/') {
    base = xdg;
  } else if (const char* home = getenv("HOME"); home != nullptr && home[0] != '\0') {
    base = std::string(home) + "/.local/share";
  }
  if (!base.empty()) {
    const std::string folder = base + kFolderSuffix;
    if (MakeFolders(folder)) return folder;
  }
  return program_folder;
}

std::string ErrorLogPath(const std::string& folder, const std::string& updater_name) {
  return folder + "/" + updater_name + ".errors.txt";
}

std::string SettingsFilePath(const std::string& folder, const std::string& device_name) {
  return folder + "/" + device_name + kSettingsEnding;
}

std::string KeepEarlierSettingsFile(const std::string& settings_path) {
  struct stat info {};
  if (stat(settings_path.c_str(), &info) != 0) return std::string();
  // The stamp is the file's own time, when the earlier run wrote it.
  struct tm local {};
  localtime_r(&info.st_mtime, &local);
  char stamp[32];
  strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
  std::string stem = settings_path;
  const size_t ending = stem.size() >= 4 ? stem.size() - 4 : stem.size();  // ".txt"
  stem.erase(ending);
  std::string kept = stem + "." + stamp + ".txt";
  // Two keeps within one second must not overwrite each other.
  for (int n = 2; std::filesystem::exists(kept) && n < 100; ++n) {
    kept = stem + "." + stamp + "-" + std::to_string(n) + ".txt";
  }
  if (rename(settings_path.c_str(), kept.c_str()) != 0) return std::string();
  return kept;
}

}  // namespace halv
