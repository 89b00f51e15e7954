// Appending the log text to a file: all of it or, on failure, none of it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "LogBuffer.h"

// Called under the append's lock with the file's length before the append;
// an answer other than 0 stops the append and is its answer.
using BeforeAppend = std::function<uint32_t(uint64_t offset)>;

// A log file just appended to, held open until its bytes are durable: an
// uploader that moves or removes it meanwhile changes nothing for the sync.
class WrittenLog {
public:
    WrittenLog() = default;
    WrittenLog(WrittenLog &&other) noexcept;
    WrittenLog &operator=(WrittenLog &&other) noexcept;
    WrittenLog(const WrittenLog &) = delete;
    WrittenLog &operator=(const WrittenLog &) = delete;
    ~WrittenLog() { static_cast<void>(Close()); }  // a sync reports what a close would

    bool Held() const;
    // Makes the bytes durable, and the file's name too when the write made it.
    uint32_t Sync();
    uint32_t Close();

private:
    friend uint32_t AppendLogText(const std::string &path, const std::vector<LogBuffer::Piece> &pieces,
                                  WrittenLog &written, const BeforeAppend &beforeAppend);
#ifdef _WIN32
    void *file_ = nullptr;
#else
    int fd_ = -1;
    int folderFd_ = -1;  // the folder of a file the write made, for its name
#endif
};

// Answers 0 or the system's error code; a failed append leaves the file as
// it was. On success written holds the file.
uint32_t AppendLogText(const std::string &path, const std::vector<LogBuffer::Piece> &pieces, WrittenLog &written,
                       const BeforeAppend &beforeAppend = {});

inline uint32_t AppendLogText(const std::string &path, const std::vector<LogBuffer::Piece> &pieces)
{
    WrittenLog written;
    if (const uint32_t code = AppendLogText(path, pieces, written))
        return code;
    return written.Close();
}

inline uint32_t AppendLogFile(const std::string &path, const LogBuffer &buffer, WrittenLog &written,
                              const BeforeAppend &beforeAppend = {})
{
    return AppendLogText(path, buffer.Pieces(), written, beforeAppend);
}

inline uint32_t AppendLogFile(const std::string &path, const LogBuffer &buffer)
{
    return AppendLogText(path, buffer.Pieces());
}
