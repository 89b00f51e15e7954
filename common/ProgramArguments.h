// A program's arguments as UTF-8 text. Windows hands main() its arguments in
// the ANSI code page, which cannot spell every file name, so there they are
// read again from the wide command line.
#pragma once

#include <string>
#include <vector>

// The arguments after the program's own name.
std::vector<std::string> ProgramArguments(int argc, char **argv);
