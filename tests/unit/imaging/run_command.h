// Runs a shell command for outside checkers (unzip, Python, libpng readers).
#pragma once

#include <string>

namespace ostrel::test {

// Combined output of the command; *status is its exit status (0 on success).
std::string RunCommand(const std::string& command, int* status);

// A Python interpreter that has PIL, found at configure time.
const char* PythonWithPil();

}  // namespace ostrel::test
