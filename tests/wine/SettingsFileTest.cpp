// Saving the settings on Windows: the new file goes over the old one in one
// step, and an old file another program holds stays as it was.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>

#include "settings/SettingsFile.h"
#include "tests/support/CaptureSupport.h"

namespace {

namespace fs = std::filesystem;
using testing_support::ReadFile;
using testing_support::TempDir;

constexpr char kOld[] = "old\r\n";

// An editor that shares only reading keeps the save out through every
// retry: the old file stays whole, and the new one goes.
TEST(SettingsSave, OverAFileHeldByAnotherProgramLeavesItAsItWas)
{
    TempDir dir;
    const fs::path file = dir.path() / "vektamon.ini";
    ASSERT_FALSE(WriteSettingsFile(file.string(), {"old"}));
    const HANDLE holder = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    const std::optional<std::string> failure = WriteSettingsFile(file.string(), {"new", "values"});
    ASSERT_TRUE(CloseHandle(holder));
    EXPECT_EQ(failure, "File access denied");
    EXPECT_EQ(ReadFile(file), kOld);
    EXPECT_FALSE(fs::exists(file.string() + ".new"));

    // Let go, the same save goes through.
    EXPECT_EQ(WriteSettingsFile(file.string(), {"new", "values"}), std::nullopt);
    EXPECT_EQ(ReadFile(file), "new\r\nvalues\r\n");
    EXPECT_FALSE(fs::exists(file.string() + ".new"));
}

}  // namespace
