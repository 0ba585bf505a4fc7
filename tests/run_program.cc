#include "tests/run_program.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <stdexcept>

namespace quorbel::testing {
namespace {

using Clock = std::chrono::steady_clock;

// How long one wait for the pipes lasts before the child's state is asked
// again: a child that has exited may have left a grandchild holding them.
constexpr std::chrono::milliseconds kPollSlice{20};

[[noreturn]] void fail(const std::string& what) {
  throw std::runtime_error(what + ": " + std::strerror(errno));
}

struct Pipe {
  int readEnd = -1;
  int writeEnd = -1;
};

Pipe makePipe() {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) fail("pipe2");
  return {fds[0], fds[1]};
}

void closeFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

void setNonBlocking(int fd) {
  int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0) {
    fail("fcntl");
  }
}

void applyLimit(int resource, std::uint64_t bytes) {
  if (bytes == 0) return;
  rlimit limit{static_cast<rlim_t>(bytes), static_cast<rlim_t>(bytes)};
  if (::setrlimit(resource, &limit) != 0) ::_exit(127);
}

// Runs in the child between fork and exec, so only async-signal-safe calls.
[[noreturn]] void startChild(const RunRequest& request, char* const* argv,
                             int input, int output, int error) {
  ::setpgid(0, 0);
  if (!request.workingDirectory.empty() &&
      ::chdir(request.workingDirectory.c_str()) != 0) {
    ::_exit(127);
  }
  if (::dup2(input, STDIN_FILENO) < 0 || ::dup2(output, STDOUT_FILENO) < 0 ||
      ::dup2(error, STDERR_FILENO) < 0) {
    ::_exit(127);
  }
  // An ignored signal stays ignored across exec; the program must start as
  // it would from a shell.
  ::signal(SIGPIPE, SIG_DFL);
  ::signal(SIGXFSZ, SIG_DFL);
  applyLimit(RLIMIT_AS, request.addressSpaceLimit);
  applyLimit(RLIMIT_FSIZE, request.fileSizeLimit);
  ::execvp(argv[0], argv);
  ::_exit(127);
}

// One output of the child being captured.
struct Capture {
  int fd = -1;
  std::string* sink = nullptr;
  std::optional<std::size_t> closeAfter;
};

// Takes what the pipe holds now; closes it at its end or at its limit.
void readAvailable(Capture& capture) {
  char chunk[4096];
  while (capture.fd >= 0) {
    std::size_t want = sizeof chunk;
    if (capture.closeAfter) {
      want = std::min(want, *capture.closeAfter - capture.sink->size());
    }
    ssize_t n = want == 0 ? 0 : ::read(capture.fd, chunk, want);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN) return;
    if (n <= 0) {
      closeFd(capture.fd);
      return;
    }
    capture.sink->append(chunk, static_cast<std::size_t>(n));
  }
}

// Feeds what the pipe takes now; closes it when everything is written or
// the reader has gone.
void writeAvailable(int& fd, const std::string& data, std::size_t& written) {
  while (fd >= 0 && written < data.size()) {
    ssize_t n = ::write(fd, data.data() + written, data.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN) return;
    if (n < 0) break;
    written += static_cast<std::size_t>(n);
  }
  closeFd(fd);
}

void recordStatus(int status, RunOutcome& outcome) {
  if (WIFEXITED(status)) outcome.exitCode = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) outcome.signal = WTERMSIG(status);
}

// Restores the previous disposition of SIGPIPE when it goes out of scope:
// a child that stops reading its input must not kill the test.
class IgnoreBrokenPipe {
 public:
  IgnoreBrokenPipe() {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGPIPE, &ignore, &previous_);
  }
  ~IgnoreBrokenPipe() { ::sigaction(SIGPIPE, &previous_, nullptr); }
  IgnoreBrokenPipe(const IgnoreBrokenPipe&) = delete;
  IgnoreBrokenPipe& operator=(const IgnoreBrokenPipe&) = delete;

 private:
  struct sigaction previous_ {};
};

}  // namespace

RunOutcome runCommand(const RunRequest& request) {
  if (request.command.empty()) throw std::invalid_argument("empty command");
  std::vector<char*> argv;
  for (const std::string& word : request.command) {
    argv.push_back(const_cast<char*>(word.c_str()));
  }
  argv.push_back(nullptr);

  IgnoreBrokenPipe ignoreBrokenPipe;
  RunOutcome outcome;
  Pipe input = makePipe();
  Pipe error = makePipe();
  Pipe output;
  int outputFile = -1;
  if (request.standardOutputPath) {
    outputFile = ::open(request.standardOutputPath->c_str(),
                        O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (outputFile < 0) fail("open " + *request.standardOutputPath);
  } else {
    output = makePipe();
    // A reader that is gone from the start goes before the fork: closed
    // after it, the child's first write could reach the pipe first on a
    // busy machine.
    if (request.closeOutputAfter == 0) closeFd(output.readEnd);
  }

  pid_t pid = ::fork();
  if (pid < 0) fail("fork");
  if (pid == 0) {
    startChild(request, argv.data(), input.readEnd,
               outputFile >= 0 ? outputFile : output.writeEnd, error.writeEnd);
  }
  closeFd(input.readEnd);
  closeFd(output.writeEnd);
  closeFd(error.writeEnd);
  closeFd(outputFile);

  std::size_t inputWritten = 0;
  Capture captures[] = {
      {output.readEnd, &outcome.standardOutput, request.closeOutputAfter},
      {error.readEnd, &outcome.standardError, std::nullopt}};
  for (int fd : {input.writeEnd, output.readEnd, error.readEnd}) {
    if (fd >= 0) setNonBlocking(fd);
  }

  Clock::time_point deadline = Clock::now() + request.timeout;
  for (;;) {
    writeAvailable(input.writeEnd, request.standardInput, inputWritten);
    for (Capture& capture : captures) readAvailable(capture);

    int status = 0;
    pid_t done = ::waitpid(pid, &status, WNOHANG);
    if (done == pid) {
      recordStatus(status, outcome);
      break;
    }
    if (Clock::now() >= deadline) {
      ::kill(-pid, SIGKILL);
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      outcome.timedOut = true;
      break;
    }

    std::vector<pollfd> waits;
    if (input.writeEnd >= 0) waits.push_back({input.writeEnd, POLLOUT, 0});
    for (const Capture& capture : captures) {
      if (capture.fd >= 0) waits.push_back({capture.fd, POLLIN, 0});
    }
    // With no pipe left to wait on, only the child's end is awaited.
    int slice = waits.empty() ? 1 : static_cast<int>(kPollSlice.count());
    ::poll(waits.data(), waits.size(), slice);
  }

  // What the child wrote before it ended is still in the pipes.
  for (Capture& capture : captures) {
    readAvailable(capture);
    closeFd(capture.fd);
  }
  closeFd(input.writeEnd);
  return outcome;
}

std::string describe(const RunOutcome& outcome) {
  if (outcome.timedOut) return "timed out";
  if (outcome.signal) return "signal " + std::to_string(*outcome.signal);
  if (outcome.exitCode) return "exit code " + std::to_string(*outcome.exitCode);
  return "no outcome";
}

}  // namespace quorbel::testing
