// Whether a path still names the file a descriptor is open on: a file
// locked after its open may have been removed or renamed meanwhile.
#pragma once

#include <sys/stat.h>

#include <string>

inline bool StillNamed(int fd, const std::string &path)
{
    struct stat opened {};
    struct stat named {};
    return ::fstat(fd, &opened) == 0 && ::lstat(path.c_str(), &named) == 0 && opened.st_dev == named.st_dev &&
           opened.st_ino == named.st_ino;
}
