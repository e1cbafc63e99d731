#include "tests/unit/upload/python_tools.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

#include "crash/base/hex.h"

namespace ostrel::upload::test {

namespace {

using Clock = std::chrono::steady_clock;

std::vector<char*> Argv(const std::string& script, const std::vector<std::string>& args,
                        std::vector<std::string>& storage) {
  storage = {"python3", ScriptPath(script)};
  storage.insert(storage.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& s : storage) argv.push_back(s.data());
  argv.push_back(nullptr);
  return argv;
}

// Starts python3 with its standard input and output on pipes.
pid_t Start(const std::string& script, const std::vector<std::string>& args, int& in, int& out) {
  int toChild[2], fromChild[2];
  if (pipe(toChild) != 0) return -1;
  if (pipe(fromChild) != 0) {
    close(toChild[0]), close(toChild[1]);
    return -1;
  }
  std::vector<std::string> storage;
  std::vector<char*> argv = Argv(script, args, storage);
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(toChild[0], 0);
    dup2(fromChild[1], 1);
    close(toChild[0]), close(toChild[1]), close(fromChild[0]), close(fromChild[1]);
    execvp("python3", argv.data());
    _exit(127);
  }
  close(toChild[0]);
  close(fromChild[1]);
  in = toChild[1];
  out = fromChild[0];
  if (pid < 0) {
    close(in), close(out);
    return -1;
  }
  signal(SIGPIPE, SIG_IGN);
  return pid;
}

int Reap(pid_t pid, bool kill) {
  if (kill) ::kill(pid, SIGKILL);
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

std::string ScriptPath(const std::string& name) {
  return std::string(UPLOAD_TEST_SCRIPTS) + "/" + name;
}

std::string Hex(std::string_view bytes) {
  std::string out;
  for (char c : bytes) out += HexText(static_cast<unsigned char>(c), 2);
  return out;
}

PythonRun RunPython(const std::string& script, const std::vector<std::string>& args,
                    std::string_view input) {
  PythonRun run;
  int in = -1, out = -1;
  const pid_t pid = Start(script, args, in, out);
  if (pid < 0) return run;
  fcntl(in, F_SETFL, O_NONBLOCK);
  const auto deadline = Clock::now() + std::chrono::seconds(30);
  std::size_t written = 0;
  if (input.empty()) close(in), in = -1;
  bool open = true;
  while (open && Clock::now() < deadline) {
    pollfd fds[2] = {{out, POLLIN, 0}, {in, POLLOUT, 0}};
    if (poll(fds, in >= 0 ? 2 : 1, 100) < 0) break;
    if (in >= 0 && (fds[1].revents & (POLLOUT | POLLERR | POLLHUP))) {
      const ssize_t n = write(in, input.data() + written, input.size() - written);
      if (n > 0) written += static_cast<std::size_t>(n);
      if (n < 0 || written == input.size()) close(in), in = -1;
    }
    if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) {
      char buffer[4096];
      const ssize_t n = read(out, buffer, sizeof buffer);
      if (n <= 0)
        open = false;
      else
        run.out.append(buffer, static_cast<std::size_t>(n));
    }
  }
  if (in >= 0) close(in);
  close(out);
  run.code = Reap(pid, open);
  if (open) run.code = -1;
  return run;
}

PythonPeer::PythonPeer(const std::string& script, const std::vector<std::string>& args) {
  int in = -1, out = -1;
  pid_ = Start(script, args, in, out);
  if (pid_ < 0) {
    problem_ = "python3 could not be started";
    return;
  }
  close(in);
  // The first line says the port, or why there is none.
  std::string line;
  const auto deadline = Clock::now() + std::chrono::seconds(20);
  while (line.find('\n') == std::string::npos && Clock::now() < deadline) {
    pollfd fd{out, POLLIN, 0};
    if (poll(&fd, 1, 100) <= 0) continue;
    char buffer[256];
    const ssize_t n = read(out, buffer, sizeof buffer);
    if (n <= 0) break;
    line.append(buffer, static_cast<std::size_t>(n));
  }
  close(out);
  line = line.substr(0, line.find('\n'));
  if (line.starts_with("port ")) {
    port_ = std::atoi(line.c_str() + 5);
    if (port_ > 0) return;
  }
  const int code = Reap(pid_, true);
  pid_ = -1;
  missingModule_ = line.starts_with("missing ") || code == kMissingModule;
  problem_ = line.empty() ? "the peer said nothing" : line;
}

PythonPeer::~PythonPeer() {
  if (pid_ > 0) Reap(pid_, true);
}

}  // namespace ostrel::upload::test
