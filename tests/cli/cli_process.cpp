#include "cli_process.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

namespace quillmark::test {
namespace {

void CloseIfOpen(int& fd) {
  if (fd >= 0)
    ::close(fd);
  fd = -1;
}

// Only async-signal-safe calls between fork and exec.
[[noreturn]] void ExecTool(char* const* argv, const CliLaunch& launch, int out, int err) {
  if (!launch.workingDirectory.empty() && ::chdir(launch.workingDirectory.c_str()) != 0) {
    ::_exit(126);
  }
  if (launch.fileSizeLimit) {
    const rlimit limit{*launch.fileSizeLimit, *launch.fileSizeLimit};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
      ::_exit(126);
  }
  sigset_t none;
  sigemptyset(&none);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);
  const int in = ::open("/dev/null", O_RDONLY);
  if (in < 0 || ::dup2(in, 0) < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0)
    ::_exit(126);
  ::execv(argv[0], argv);
  ::_exit(127);
}

}  // namespace

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find('\n', start);
    if (end == std::string::npos) {
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

CliProcess::CliProcess(const std::vector<std::string>& args, const CliLaunch& launch) {
  std::vector<std::string> strings{QUILLMARK_CLI_PATH};
  strings.insert(strings.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& text : strings)
    argv.push_back(text.data());
  argv.push_back(nullptr);

  int outPipe[2] = {-1, -1};
  int errPipe[2] = {-1, -1};
  if (::pipe2(errPipe, O_CLOEXEC) != 0)
    return;
  if (launch.terminal) {
    // A raw terminal passes the bytes through as the tool wrote them.
    termios raw{};
    ::cfmakeraw(&raw);
    if (::openpty(&outPipe[0], &outPipe[1], nullptr, &raw, nullptr) != 0)
      return;
    ::fcntl(outPipe[0], F_SETFD, FD_CLOEXEC);
    ::fcntl(outPipe[1], F_SETFD, FD_CLOEXEC);
  } else if (::pipe2(outPipe, O_CLOEXEC) != 0) {
    return;
  }
  m_pid = ::fork();
  if (m_pid == 0)
    ExecTool(argv.data(), launch, outPipe[1], errPipe[1]);
  ::close(outPipe[1]);
  ::close(errPipe[1]);
  m_out = outPipe[0];
  m_err = errPipe[0];
}

CliProcess::~CliProcess() {
  if (m_pid > 0) {
    ::kill(m_pid, SIGKILL);
    ::waitpid(m_pid, nullptr, 0);
  }
  CloseIfOpen(m_out);
  CloseIfOpen(m_err);
}

bool CliProcess::ReadSome(int& fd, std::string& into) {
  char buffer[4096];
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got > 0) {
      into.append(buffer, static_cast<std::size_t>(got));
      return true;
    }
    if (got < 0 && errno == EINTR)
      continue;
    // End of a pipe, or EIO once a terminal's other side is closed.
    CloseIfOpen(fd);
    return false;
  }
}

std::optional<std::string> CliProcess::ReadOutLine() {
  for (;;) {
    const std::size_t end = m_result.out.find('\n', m_outConsumed);
    if (end != std::string::npos) {
      std::string line = m_result.out.substr(m_outConsumed, end - m_outConsumed);
      m_outConsumed = end + 1;
      return line;
    }
    if (m_out < 0)
      return std::nullopt;
    // Standard error is drained as well, so a child blocked on it cannot
    // hold back its standard output.
    pollfd fds[2] = {{m_out, POLLIN, 0}, {m_err, POLLIN, 0}};
    if (::poll(fds, m_err >= 0 ? 2 : 1, -1) < 0 && errno != EINTR)
      return std::nullopt;
    if (fds[0].revents != 0)
      ReadSome(m_out, m_result.out);
    if (m_err >= 0 && fds[1].revents != 0)
      ReadSome(m_err, m_result.err);
  }
}

void CliProcess::Signal(int signalNumber) {
  if (m_pid > 0)
    ::kill(m_pid, signalNumber);
}

CliResult CliProcess::Wait() {
  while (m_out >= 0 || m_err >= 0) {
    pollfd fds[2] = {{m_out, POLLIN, 0}, {m_err, POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0 && errno != EINTR)
      break;
    if (m_out >= 0 && fds[0].revents != 0)
      ReadSome(m_out, m_result.out);
    if (m_err >= 0 && fds[1].revents != 0)
      ReadSome(m_err, m_result.err);
  }
  int status = 0;
  if (m_pid > 0 && ::waitpid(m_pid, &status, 0) == m_pid) {
    if (WIFEXITED(status))
      m_result.exitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status))
      m_result.termSignal = WTERMSIG(status);
  }
  m_pid = -1;
  return m_result;
}

CliResult RunCli(const std::vector<std::string>& args, const CliLaunch& launch) {
  CliProcess process(args, launch);
  return process.Wait();
}

}  // namespace quillmark::test
