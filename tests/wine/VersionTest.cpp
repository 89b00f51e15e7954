// The version resource of the program and the caption's version text read
// from it, with this test program standing in for the program's file.
#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "window/Version.h"

namespace {

std::wstring OwnPath()
{
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    return {path, length < MAX_PATH ? length : 0};
}

std::vector<unsigned char> OwnVersionInfo()
{
    const std::wstring path = OwnPath();
    DWORD ignored = 0;
    std::vector<unsigned char> info(GetFileVersionInfoSizeW(path.c_str(), &ignored));
    if (info.empty() || !GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(info.size()), info.data()))
        return {};
    return info;
}

std::wstring StringValue(std::vector<unsigned char> &info, const std::wstring &name)
{
    void *found = nullptr;
    UINT size = 0;
    if (!VerQueryValueW(info.data(), name.c_str(), &found, &size) || size == 0)
        return {};
    return static_cast<const wchar_t *>(found);
}

TEST(VersionResource, HoldsOneRussianTranslationInCodePage1251)
{
    auto info = OwnVersionInfo();
    ASSERT_FALSE(info.empty());
    void *found = nullptr;
    UINT size = 0;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation", &found, &size));
    ASSERT_EQ(size, 2 * sizeof(WORD));
    const auto *translation = static_cast<const WORD *>(found);
    EXPECT_EQ(translation[0], 0x0419);
    EXPECT_EQ(translation[1], 1251);
}

TEST(VersionResource, NamesTheProgramAndItsVersion)
{
    auto info = OwnVersionInfo();
    ASSERT_FALSE(info.empty());
    const std::wstring block = L"\\StringFileInfo\\041904e3\\";
    EXPECT_EQ(StringValue(info, block + L"FileDescription"), L"VEKTA Sniffer");
    EXPECT_EQ(StringValue(info, block + L"FileVersion"), L"" VEKTAMON_PROJECT_VERSION);
    EXPECT_EQ(StringValue(info, block + L"ProductVersion"), L"" VEKTAMON_PROJECT_VERSION);
    void *found = nullptr;
    UINT size = 0;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", &found, &size));
    const auto *fixed = static_cast<const VS_FIXEDFILEINFO *>(found);
    EXPECT_EQ(fixed->dwFileVersionMS, DWORD{MAKELONG(0, 1)});
    EXPECT_EQ(fixed->dwFileVersionLS, DWORD{MAKELONG(14, 0)});
}

TEST(VersionText, IsTheFileVersionOfTheFirstTranslation)
{
    EXPECT_EQ(ProgramVersion(), VEKTAMON_PROJECT_VERSION);
}

}  // namespace
