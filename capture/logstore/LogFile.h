// Appending the log text to a file: all of it or, on failure, none of it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "LogBuffer.h"

// Answers 0 or the system's error code; a failed append leaves the file as it was.
uint32_t AppendLogText(const std::string &path, const std::vector<LogBuffer::Piece> &pieces);

inline uint32_t AppendLogFile(const std::string &path, const LogBuffer &buffer)
{
    return AppendLogText(path, buffer.Pieces());
}
