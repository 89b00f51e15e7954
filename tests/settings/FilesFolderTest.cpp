// Where the files go: beside a copy the user may write to, otherwise in the
// user's own folder; all on real temporary folders.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <ostream>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "settings/FilesFolder.h"
#include "tests/support/TempDir.h"

namespace {

namespace fs = std::filesystem;

enum class Program { Writable, Installed, LinkToInstalled, Missing };

struct ChoiceCase {
    Program program;
    bool beside;
    const char *name;
};

void PrintTo(const ChoiceCase &c, std::ostream *out)
{
    *out << c.name << ": files " << (c.beside ? "beside the program" : "in the user's folder");
}

class ChooseFilesFolderTest : public testing::TestWithParam<ChoiceCase> {
protected:
    std::string ProgramFolder() const
    {
        fs::create_directories(installed());
        switch (GetParam().program) {
        case Program::Writable: fs::create_directories(dir_.path() / "copy"); return (dir_.path() / "copy").string();
        case Program::Installed: return installed().string();
        case Program::LinkToInstalled:
            fs::create_directory_symlink(installed(), dir_.path() / "bin");
            return (dir_.path() / "bin").string();
        case Program::Missing: return (dir_.path() / "gone").string();
        }
        return {};
    }
    fs::path installed() const { return dir_.path() / "usr" / "bin"; }
    fs::path user() const { return dir_.path() / "home" / ".local" / "share" / "vektamon"; }

    testing_support::TempDir dir_;
};

TEST_P(ChooseFilesFolderTest, KeepsTheFilesBesideAWritableCopyOnly)
{
    const std::string program = ProgramFolder();
    const std::string chosen = ChooseFilesFolder(program, installed().string(), user().string());
    if (GetParam().beside) {
        EXPECT_EQ(chosen, program + "/");
        EXPECT_FALSE(fs::exists(user()));
        return;
    }
    EXPECT_EQ(chosen, user().string() + "/");
    struct stat info {};
    ASSERT_EQ(::stat(user().c_str(), &info), 0) << "the user's folder was not made";
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_EQ(ChooseFilesFolder(program, installed().string(), user().string()), chosen);  // made once, used again
}

INSTANTIATE_TEST_SUITE_P(Copies, ChooseFilesFolderTest,
                         testing::Values(ChoiceCase{Program::Writable, true, "WritableCopy"},
                                         ChoiceCase{Program::Installed, false, "InstalledCopy"},
                                         ChoiceCase{Program::LinkToInstalled, false, "InstalledThroughALink"},
                                         ChoiceCase{Program::Missing, false, "FolderThatCannotBeWritten"}),
                         [](const testing::TestParamInfo<ChoiceCase> &info) { return std::string(info.param.name); });

TEST(ChooseFilesFolder, AUserFolderThatCannotBeMadeIsStillAnswered)
{
    testing_support::TempDir dir;
    const fs::path blocker = dir.path() / "file";
    std::ofstream(blocker) << "not a folder";
    const std::string user = (blocker / "vektamon").string();
    EXPECT_EQ(ChooseFilesFolder((dir.path() / "gone").string(), "", user), user + "/");
    EXPECT_FALSE(MakeUserFolder(user));
}

// Environment values for one case; nullopt leaves the variable unset.
struct UserFolderCase {
    std::optional<const char *> dataHome;
    std::optional<const char *> home;
    const char *expected;  // nullptr: the home folder of the user's account
    const char *name;
};

void PrintTo(const UserFolderCase &c, std::ostream *out)
{
    *out << c.name << ": XDG_DATA_HOME=" << c.dataHome.value_or("(unset)") << " HOME=" << c.home.value_or("(unset)");
}

class UserFilesFolderTest : public testing::TestWithParam<UserFolderCase> {
protected:
    void SetUp() override
    {
        Save("XDG_DATA_HOME", savedDataHome_);
        Save("HOME", savedHome_);
        Set("XDG_DATA_HOME", GetParam().dataHome);
        Set("HOME", GetParam().home);
    }
    void TearDown() override
    {
        Set("XDG_DATA_HOME", savedDataHome_ ? std::optional(savedDataHome_->c_str()) : std::nullopt);
        Set("HOME", savedHome_ ? std::optional(savedHome_->c_str()) : std::nullopt);
    }

private:
    static void Save(const char *name, std::optional<std::string> &saved)
    {
        if (const char *value = std::getenv(name))
            saved = value;
    }
    static void Set(const char *name, std::optional<const char *> value)
    {
        ASSERT_EQ(value ? ::setenv(name, *value, 1) : ::unsetenv(name), 0) << name;
    }

    std::optional<std::string> savedDataHome_, savedHome_;
};

TEST_P(UserFilesFolderTest, FollowsTheXdgDataHome)
{
    std::string expected;
    if (GetParam().expected) {
        expected = GetParam().expected;
    } else {
        const passwd *account = ::getpwuid(::getuid());
        ASSERT_NE(account, nullptr);
        expected = std::string(account->pw_dir) + "/.local/share/vektamon/";
    }
    EXPECT_EQ(UserFilesFolder(), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Environments, UserFilesFolderTest,
    testing::Values(UserFolderCase{"/data/anna", "/home/anna", "/data/anna/vektamon/", "DataHomeSet"},
                    UserFolderCase{std::nullopt, "/home/anna", "/home/anna/.local/share/vektamon/", "DataHomeUnset"},
                    UserFolderCase{"", "/home/anna", "/home/anna/.local/share/vektamon/", "DataHomeEmpty"},
                    UserFolderCase{"relative/data", "/home/anna", "/home/anna/.local/share/vektamon/",
                                   "DataHomeRelative"},
                    UserFolderCase{std::nullopt, std::nullopt, nullptr, "NoHomeVariable"},
                    UserFolderCase{std::nullopt, "home", nullptr, "RelativeHomeVariable"}),
    [](const testing::TestParamInfo<UserFolderCase> &info) { return std::string(info.param.name); });

struct FitCase {
    std::string text;
    size_t maxBytes;
    std::string fitted;
    const char *name;
};

void PrintTo(const FitCase &c, std::ostream *out)
{
    *out << c.name << ": " << c.text.size() << " bytes into " << c.maxBytes << " give " << c.fitted.size();
}

class FitUtf8Test : public testing::TestWithParam<FitCase> {};

TEST_P(FitUtf8Test, CutsOnACharacterBoundary)
{
    EXPECT_EQ(FitUtf8(GetParam().text, GetParam().maxBytes), GetParam().fitted);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, FitUtf8Test,
    testing::Values(FitCase{"/home/anna/", 255, "/home/anna/", "Shorter"},
                    FitCase{std::string(300, 'a'), 255, std::string(255, 'a'), "Ascii"},
                    FitCase{std::string(254, 'a') + "жж", 255, std::string(254, 'a'), "TwoByteCharacterAcrossTheEnd"},
                    FitCase{std::string(253, 'a') + "жж", 255, std::string(253, 'a') + "ж", "TwoByteCharacterAtTheEnd"},
                    FitCase{std::string(253, 'a') + "€", 255, std::string(253, 'a'), "ThreeByteCharacter"},
                    FitCase{std::string(252, 'a') + "😀", 255, std::string(252, 'a'), "FourByteCharacter"},
                    FitCase{"ж", 1, "", "NothingFits"}),
    [](const testing::TestParamInfo<FitCase> &info) { return std::string(info.param.name); });

}  // namespace
