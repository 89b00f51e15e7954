// Runs a program to its end with its output in files, for the tests of our
// own program and of the outside readers.
#pragma once

#include <string>
#include <vector>

namespace testing_support {

struct ProgramRun {
    int status = -1;  // the exit status, or -1 when it did not exit by itself
    std::string out;  // standard output
    std::string err;  // standard error
};

// args[0] is the program's path; output goes through files in folder.
ProgramRun RunProgram(const std::vector<std::string> &args, const std::string &folder,
                      const std::string &stdoutPath = {});

}  // namespace testing_support
