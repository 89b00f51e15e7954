// The files behind the journal: the journal itself, held under an exclusive
// lock for as long as its program runs, and the folder services that finding
// and recovering journals need.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/LocalDateTime.h"

class JournalFile {
public:
    JournalFile() = default;
    JournalFile(const JournalFile &) = delete;
    JournalFile &operator=(const JournalFile &) = delete;
    ~JournalFile() { Close(); }

    // Opens the file and locks it without waiting; held tells that another
    // program holds the lock. With create the file must not exist yet (it is
    // made, never taken over); without, only a plain file is opened, never
    // through a symbolic link and never waiting on a FIFO or a device, and
    // one removed or renamed by its last holder meanwhile answers held too.
    uint32_t Open(const std::string &path, bool create, bool &held);
    bool IsOpen() const;
    // Whether the open file lost its name (its folder was removed).
    bool Removed();
    // Every call below needs an open file and answers 0 or the system's code.
    uint32_t Resize(uint64_t size);
    uint32_t Append(const char *bytes, size_t size);
    // Makes the written bytes and the size durable.
    uint32_t Sync();
    uint32_t Size(uint64_t &size);
    // Reads up to size bytes at offset; got is 0 at the end.
    uint32_t Read(uint64_t offset, char *bytes, size_t size, size_t &got);
    // The local date and time of the last change.
    uint32_t Modified(LocalDateTime &when);
    // Removes the file while the lock is still held, then closes it.
    uint32_t RemoveAndClose(const std::string &path);
    // Renames the file from path to newPath, never over an existing file;
    // the file stays open and locked.
    uint32_t Rename(const std::string &path, const std::string &newPath);
    // Releases the lock; the file stays.
    void Close();

private:
#ifdef _WIN32
    void *handle_ = nullptr;
#else
    int fd_ = -1;
#endif
};

// The names (not paths) of the entries in a folder that end in suffix.
uint32_t FilesEndingIn(const std::string &folder, std::string_view suffix, std::vector<std::string> &names);
uint32_t CurrentProcessId();
// Makes the names in a folder durable.
uint32_t SyncFolder(const std::string &folder);
// Whether the folder entry is a plain file itself, not a link to one.
bool IsPlainFile(const std::string &path);
// Fills bytes from the system's random source.
uint32_t RandomBytes(void *bytes, size_t size);
