// Putting a newly written file in place of the one it replaces.
#pragma once

#include <cstdio>
#include <string>
#include <system_error>

// Makes the bytes written to an open file durable before it is renamed over
// the old one.
std::error_code SyncWritten(std::FILE *file);
// Renames newPath over path in one step.
std::error_code ReplaceWithNew(const std::string &newPath, const std::string &path);
