// The operating system's message text for an error code, as UTF-8, with
// trailing blanks, control characters and full stops removed.
#pragma once

#include <cstdint>
#include <string>

std::string SystemErrorText(uint32_t code);

// Error codes the capture thread reports itself.
uint32_t PortBusyError();
uint32_t OutOfMemoryError();
uint32_t InputOutputError();
// Whether a code says that the disk (or the user's quota on it) is full.
bool IsDiskFullError(uint32_t code);
