#include "tests/unit/imaging/run_command.h"

#include <sys/wait.h>

#include <cstdio>

namespace ostrel::test {

std::string RunCommand(const std::string& command, int* status) {
  std::string out;
  std::FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) {
    *status = -1;
    return out;
  }
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  const int raw = pclose(pipe);
  *status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return out;
}

const char* PythonWithPil() { return IMAGING_TEST_PYTHON; }

}  // namespace ostrel::test
