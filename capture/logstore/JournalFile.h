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

    // Opens the file (creating it when create is set) and locks it without
    // waiting; held tells that another program holds the lock. A file already
    // removed by its last holder answers held too.
    uint32_t Open(const std::string &path, bool create, bool &held);
    bool IsOpen() const;
    // Whether the open file lost its name (its folder was removed).
    bool Removed();
    // Every call below needs an open file and answers 0 or the system's code.
    uint32_t Resize(uint64_t size);
    uint32_t Append(const char *bytes, size_t size);
    // Makes the written bytes and the size durable.
    uint32_t Sync();
    uint32_t ReadAll(std::string &text);
    // The local date and time of the last change.
    uint32_t Modified(LocalDateTime &when);
    // Removes the file while the lock is still held, then closes it.
    uint32_t RemoveAndClose(const std::string &path);
    // Releases the lock; the file stays.
    void Close();

private:
#ifdef _WIN32
    void *handle_ = nullptr;
#else
    int fd_ = -1;
#endif
};

// The names (not paths) of the files in a folder that end in suffix.
uint32_t FilesEndingIn(const std::string &folder, std::string_view suffix, std::vector<std::string> &names);
// Makes a written file durable, with its name in its folder.
uint32_t SyncFile(const std::string &path);
uint32_t CurrentProcessId();
