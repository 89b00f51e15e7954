// A small ext4 file system of a test's own on a loop device, which the test
// can freeze (FIFREEZE) as a hard-mounted network folder that stopped
// answering holds its writers: every write and sync on it waits until it
// thaws. Mounting needs root, as in CI.
#pragma once

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/RunProgram.h"
#include "tests/support/TempDir.h"

namespace bridge_test {

class FrozenDisk {
public:
    static constexpr uintmax_t kImageBytes = uintmax_t{32} << 20;

    explicit FrozenDisk(const std::filesystem::path &at) : at_(at)
    {
        const std::string image = (work_.path() / "disk.img").string();
        std::error_code code;
        std::filesystem::create_directories(at, code);
        std::filesystem::resize_file(Touch(image), kImageBytes, code);
        if (code) {
            error_ = code.message();
            return;
        }
        if (!Run({"/usr/sbin/mkfs.ext4", "-q", "-F", image}) ||
            !Run({"/usr/bin/mount", "-o", "loop", image, at.string()}))
            return;
        mounted_ = true;
        fd_ = ::open(at.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd_ < 0)
            error_ = std::strerror(errno);
    }
    ~FrozenDisk()
    {
        Thaw();  // before anything else: a frozen disk would hold whoever touches it
        if (fd_ >= 0)
            ::close(fd_);
        if (mounted_)
            ::umount2(at_.c_str(), MNT_DETACH);
    }
    FrozenDisk(const FrozenDisk &) = delete;
    FrozenDisk &operator=(const FrozenDisk &) = delete;

    bool Ready() const { return fd_ >= 0; }
    const std::string &Error() const { return error_; }
    bool Freeze()
    {
        frozen_ = ::ioctl(fd_, FIFREEZE, 0) == 0;
        if (!frozen_)
            error_ = std::strerror(errno);
        return frozen_;
    }
    void Thaw()
    {
        if (frozen_ && ::ioctl(fd_, FITHAW, 0) == 0)
            frozen_ = false;
    }

private:
    static const std::string &Touch(const std::string &path)
    {
        std::ofstream(path, std::ios::binary).close();
        return path;
    }
    bool Run(const std::vector<std::string> &args)
    {
        const testing_support::ProgramRun run = testing_support::RunProgram(args, work_.path().string());
        if (run.status != 0)
            error_ = args[0] + " failed: " + run.err;
        return run.status == 0;
    }

    testing_support::TempDir work_;
    std::filesystem::path at_;
    bool mounted_ = false;
    bool frozen_ = false;
    int fd_ = -1;
    std::string error_;
};

}  // namespace bridge_test
