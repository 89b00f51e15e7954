// A small tmpfs of a test's own, to run a log folder full; mounting needs
// root, as in CI.
#pragma once

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/statvfs.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

namespace testing_support {

// A tmpfs mounted for the test; mounting needs root, as in CI.
class Tmpfs {
public:
    Tmpfs(const std::filesystem::path &at, const std::string &size) : at_(at)
    {
        const std::string options = "size=" + size;
        mounted_ = ::mount("tmpfs", at.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) == 0;
        if (!mounted_)
            error_ = std::strerror(errno);
    }
    ~Tmpfs()
    {
        if (mounted_) {
            EXPECT_EQ(::umount2(at_.c_str(), MNT_DETACH), 0) << std::strerror(errno);
        }
    }
    // The tmpfs mounted and filled with ballast but for roomBytes.
    ::testing::AssertionResult FillLeaving(uint64_t roomBytes) const
    {
        if (!mounted_)
            return ::testing::AssertionFailure() << "cannot mount a tmpfs for the test (it needs root): " << error_;
        if (!WriteBallast(ballast(), FreeBytes() - roomBytes))
            return ::testing::AssertionFailure() << "cannot write the ballast " << ballast();
        return ::testing::AssertionSuccess();
    }
    std::filesystem::path ballast() const { return at_ / "ballast"; }
    // Space back.
    bool RemoveBallast() const { return std::filesystem::remove(ballast()); }
    uint64_t FreeBytes() const
    {
        struct statvfs info {};
        EXPECT_EQ(::statvfs(at_.c_str(), &info), 0);
        return uint64_t{info.f_bavail} * info.f_frsize;
    }

private:
    static bool WriteBallast(const std::filesystem::path &path, uint64_t bytes)
    {
        std::ofstream out(path, std::ios::binary);
        const std::string chunk(1 << 20, 'b');
        for (; bytes >= chunk.size(); bytes -= chunk.size())
            out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        out.write(chunk.data(), static_cast<std::streamsize>(bytes));
        out.close();
        return static_cast<bool>(out);
    }

    std::filesystem::path at_;
    bool mounted_ = false;
    std::string error_;
};

}  // namespace testing_support
