#include "app/app_paths.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "support/temp_dir.h"

namespace halv {
namespace {

// Sets an environment variable for one scope.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = getenv(name)) old_ = old, had_ = true;
    if (value != nullptr) {
      setenv(name, value, 1);
    } else {
      unsetenv(name);
    }
  }
  ~ScopedEnv() {
    if (had_) {
      setenv(name_, old_.c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::string old_;
  bool had_ = false;
};

TEST(AppPaths, DataFolderUnderXdgDataHomeOrHome) {
  test::TempDir dir;
  {
    ScopedEnv xdg("XDG_DATA_HOME", dir.File("xdg").c_str());
    EXPECT_EQ(ApplicationDataFolder("/prog"), dir.File("xdg") + "/Halvard/HalvBSL");
    EXPECT_TRUE(std::filesystem::is_directory(dir.File("xdg/Halvard/HalvBSL")));
  }
  {
    ScopedEnv xdg("XDG_DATA_HOME", "relative/ignored");
    ScopedEnv home("HOME", dir.File("home").c_str());
    EXPECT_EQ(ApplicationDataFolder("/prog"), dir.File("home") + "/.local/share/Halvard/HalvBSL");
  }
  {
    test::WriteWholeFile(dir.File("file"), "not a folder");
    ScopedEnv xdg("XDG_DATA_HOME", dir.File("file").c_str());
    EXPECT_EQ(ApplicationDataFolder("/prog"), "/prog");
  }
}

TEST(AppPaths, FileNames) {
  EXPECT_EQ(ErrorLogPath("/d", "Pumatic Firmware Updater"),
            "/d/Pumatic Firmware Updater.errors.txt");
  EXPECT_EQ(SettingsFilePath("/d", "Pumatic"), "/d/Pumatic.settings.txt");
}

TEST(AppPaths, EarlierSettingsFileIsKeptUnderATimeStampedName) {
  test::TempDir dir;
  const std::string path = SettingsFilePath(dir.Path().string(), "Pumatic");
  EXPECT_EQ(KeepEarlierSettingsFile(path), "");
  test::WriteWholeFile(path, "sn=\"4711\"\r\n");
  const std::string kept = KeepEarlierSettingsFile(path);
  ASSERT_FALSE(kept.empty());
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_EQ(test::ReadWholeFile(kept), "sn=\"4711\"\r\n");
  const std::string name = std::filesystem::path(kept).filename().string();
  EXPECT_EQ(name.substr(0, 17), "Pumatic.settings.");
  EXPECT_EQ(name.size(), std::string("Pumatic.settings.20261210-093015.txt").size());

  test::WriteWholeFile(path, "second");  // within the same second
  const std::string second = KeepEarlierSettingsFile(path);
  ASSERT_FALSE(second.empty());
  EXPECT_NE(second, kept);
  EXPECT_EQ(test::ReadWholeFile(kept), "sn=\"4711\"\r\n");
}

}  // namespace
}  // namespace halv
