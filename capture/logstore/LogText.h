// Small formatting helpers for log lines.
#pragma once

#include <cstdint>
#include <string>

#include "common/LocalDateTime.h"

// Writes each byte as two upper-case hex digits and a blank; answers the end.
char *WriteHexPairs(char *out, const uint8_t *bytes, size_t count);
// Ten decimal digits, zero-filled: the stamp of a log line.
void WriteStamp(char (&out)[10], uint32_t elapsedMs);
// The low digits of value as upper-case hex digits, zero-filled; answers the end.
char *WriteHexDigits(char *out, uint32_t value, int digits);
// Eight upper-case hex digits, zero-filled: an identifier.
char *WriteHex8(char *out, uint32_t value);
// A timer period in 100 ns units as milliseconds with four decimals.
std::string FormatPeriod(uint32_t period100ns);
// The name of a log file written at a local date and time: DDMMYY_hhmmss.log.
std::string LogFileName(const LocalDateTime &t);
