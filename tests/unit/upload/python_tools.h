#pragma once
// Python as an outside judge: a script run to its end on some input, or a
// tiny server started for one test and stopped with it.
#include <sys/types.h>

#include <string>
#include <string_view>
#include <vector>

namespace ostrel::upload::test {

// A script's exit code when the Python it runs lacks a module it needs.
inline constexpr int kMissingModule = 77;

struct PythonRun {
  int code = -1;  // -1: it could not start or did not end in time
  std::string out;
};

// Runs python3 with one of the tests' scripts, input on its standard input;
// killed after 30 s.
PythonRun RunPython(const std::string& script, const std::vector<std::string>& args,
                    std::string_view input);

// A peer server: the script prints "port N" once it listens.
class PythonPeer {
 public:
  PythonPeer(const std::string& script, const std::vector<std::string>& args);
  ~PythonPeer();
  PythonPeer(const PythonPeer&) = delete;
  PythonPeer& operator=(const PythonPeer&) = delete;

  bool Running() const { return port_ > 0; }
  int Port() const { return port_; }
  // Why it is not running: the script's own words, or what went wrong.
  const std::string& Problem() const { return problem_; }
  bool MissingModule() const { return missingModule_; }

 private:
  pid_t pid_ = -1;
  int port_ = 0;
  bool missingModule_ = false;
  std::string problem_;
};

std::string ScriptPath(const std::string& name);
std::string Hex(std::string_view bytes);

}  // namespace ostrel::upload::test
