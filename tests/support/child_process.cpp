#include "child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "english_mode.h"
#include "scratch_dir.h"

namespace quillmark::test {
namespace {

void CloseIfOpen(int& fd) {
  if (fd >= 0)
    ::close(fd);
  fd = -1;
}

void CloseBoth(int (&ends)[2]) {
  CloseIfOpen(ends[0]);
  CloseIfOpen(ends[1]);
}

// The read end and the child's end of standard output: a pipe, or a
// pseudo-terminal for a child that must believe it writes to one.
bool OpenOutput(bool terminal, int (&ends)[2]) {
  if (!terminal)
    return ::pipe2(ends, O_CLOEXEC) == 0;
  // A raw terminal passes the bytes through as the child wrote them.
  termios raw{};
  ::cfmakeraw(&raw);
  if (::openpty(&ends[0], &ends[1], nullptr, &raw, nullptr) != 0)
    return false;
  ::fcntl(ends[0], F_SETFD, FD_CLOEXEC);
  ::fcntl(ends[1], F_SETFD, FD_CLOEXEC);
  return true;
}

std::string NameOf(const std::string& entry) {
  return entry.substr(0, entry.find('='));
}

bool Names(const std::vector<std::string>& entries, const std::string& name) {
  return std::any_of(entries.begin(), entries.end(),
                     [&](const std::string& entry) { return NameOf(entry) == name; });
}

// Whether the entries set the child's language: the test chose it.
bool NamesLocale(const std::vector<std::string>& entries) {
  return std::any_of(entries.begin(), entries.end(), [](const std::string& entry) {
    const std::string name = NameOf(entry);
    return name == "LANG" || name == "LANGUAGE" || name == "QUILLMARK_LANGUAGE" ||
           name.rfind("LC_", 0) == 0;
  });
}

// The options' entries, with the station configuration kept out where the
// test named none: home is an empty folder, and the system file is a name
// in it that nothing creates.
std::vector<std::string> IsolatedEnvironment(std::vector<std::string> changes, std::string home) {
  // Never empty or relative, which the tool would take as unset.
  if (home.empty())
    home = "/nonexistent/quillmark-test-config";
  if (!Names(changes, "XDG_CONFIG_HOME") && !Names(changes, "HOME"))
    changes.push_back("XDG_CONFIG_HOME=" + home);
  if (!Names(changes, "QUILLMARK_SYSTEM_CONFIG"))
    changes.push_back("QUILLMARK_SYSTEM_CONFIG=" + home + "/no-system-config/quillmark.toml");
  return changes;
}

// The test's environment with the options' entries in place of their names'.
std::vector<std::string> ChildEnvironment(const std::vector<std::string>& changes) {
  std::vector<std::string> entries;
  for (char** variable = environ; *variable != nullptr; ++variable) {
    const std::string entry = *variable;
    bool replaced = false;
    for (const std::string& change : changes)
      replaced = replaced || NameOf(change) == NameOf(entry);
    if (!replaced)
      entries.push_back(entry);
  }
  for (const std::string& change : changes) {
    if (change.find('=') != std::string::npos)
      entries.push_back(change);
  }
  return entries;
}

// Only async-signal-safe calls between fork and exec.
[[noreturn]] void ExecChild(char* const* argv, char* const* envp, const ChildOptions& options,
                            int out, int err) {
  if (options.workingDirectoryFd >= 0 && ::fchdir(options.workingDirectoryFd) != 0)
    ::_exit(126);
  if (!options.workingDirectory.empty() && ::chdir(options.workingDirectory.c_str()) != 0)
    ::_exit(126);
  if (options.fileSizeLimit) {
    const rlimit limit{*options.fileSizeLimit, *options.fileSizeLimit};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
      ::_exit(126);
  }
  sigset_t none;
  sigemptyset(&none);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);
  if (!options.outputPath.empty())
    out = ::open(options.outputPath.c_str(), O_WRONLY | O_CLOEXEC);
  const int in = ::open("/dev/null", O_RDONLY);
  if (out < 0 || in < 0 || ::dup2(in, 0) < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0)
    ::_exit(126);
  ::execvpe(argv[0], argv, envp);
  ::_exit(127);
}

}  // namespace

ChildProcess::ChildProcess(std::vector<std::string> argv, const ChildOptions& options) {
  if (!argv.empty()) {
    const std::string& program = argv.front();
    // A test that sets the child's locale itself chose its language.
    m_isTool = program.substr(program.rfind('/') + 1) == "quillmark-cli" &&
               !NamesLocale(options.environment);
  }
  std::vector<char*> pointers;
  for (std::string& text : argv)
    pointers.push_back(text.data());
  pointers.push_back(nullptr);
  m_configHome = std::make_unique<ScratchDir>();
  std::vector<std::string> environment =
      ChildEnvironment(IsolatedEnvironment(options.environment, m_configHome->path()));
  std::vector<char*> environmentPointers;
  for (std::string& entry : environment)
    environmentPointers.push_back(entry.data());
  environmentPointers.push_back(nullptr);

  int outEnds[2] = {-1, -1};
  int errEnds[2] = {-1, -1};
  if (!OpenOutput(options.terminal, outEnds))
    return;
  if (::pipe2(errEnds, O_CLOEXEC) != 0) {
    CloseBoth(outEnds);
    return;
  }
  m_pid = ::fork();
  if (m_pid == 0)
    ExecChild(pointers.data(), environmentPointers.data(), options, outEnds[1], errEnds[1]);
  CloseIfOpen(outEnds[1]);
  CloseIfOpen(errEnds[1]);
  m_out = outEnds[0];
  m_err = errEnds[0];
  if (m_pid < 0) {
    CloseIfOpen(m_out);
    CloseIfOpen(m_err);
  }
}

ChildProcess::~ChildProcess() {
  if (m_pid > 0 && !m_endStatus) {
    ::kill(m_pid, SIGKILL);
    ::kill(m_pid, SIGCONT);
    ::waitpid(m_pid, nullptr, 0);
  }
  CloseIfOpen(m_out);
  CloseIfOpen(m_err);
}

// Reads whatever either output has until the deadline or until something
// arrived; false when nothing more can come. Both outputs are drained
// together, so a child blocked on one cannot hold back the other.
bool ChildProcess::Pump(std::chrono::steady_clock::time_point deadline) {
  if (m_out < 0 && m_err < 0)
    return false;
  pollfd fds[2] = {{m_out, POLLIN, 0}, {m_err, POLLIN, 0}};
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
      deadline - std::chrono::steady_clock::now());
  const int ready = ::poll(fds, 2, left.count() > 0 ? static_cast<int>(left.count()) : 0);
  if (ready < 0)
    return errno == EINTR;
  if (ready == 0)
    return false;
  int* const ends[2] = {&m_out, &m_err};
  std::string* const into[2] = {&m_result.out, &m_result.err};
  for (int i = 0; i < 2; ++i) {
    if (fds[i].fd < 0 || fds[i].revents == 0)
      continue;
    char buffer[4096];
    const ssize_t got = ::read(fds[i].fd, buffer, sizeof buffer);
    if (got > 0)
      into[i]->append(buffer, static_cast<std::size_t>(got));
    else if (got == 0 || errno != EINTR)
      CloseIfOpen(*ends[i]);  // the end of a pipe, or EIO once a terminal's other side closed
  }
  return true;
}

std::optional<std::string> ChildProcess::ReadLine(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    const std::size_t end = m_result.out.find('\n', m_linesTaken);
    if (end != std::string::npos) {
      std::string line = m_result.out.substr(m_linesTaken, end - m_linesTaken);
      m_linesTaken = end + 1;
      return line;
    }
    if (!Pump(deadline))
      return std::nullopt;
  }
}

bool ChildProcess::Signal(int signalNumber) {
  // A child reaped already may have passed its number on to another process.
  return m_pid > 0 && !m_endStatus && ::kill(m_pid, signalNumber) == 0;
}

bool ChildProcess::Pause() {
  return !m_endStatus && Signal(SIGSTOP) && WaitUntilStopped();
}

bool ChildProcess::WaitUntilStopped() {
  if (m_pid <= 0 || m_endStatus)
    return false;
  int status = 0;
  if (::waitpid(m_pid, &status, WUNTRACED) != m_pid)
    return false;
  if (WIFSTOPPED(status))
    return true;
  m_endStatus = status;
  return false;
}

bool ChildProcess::Resume() {
  return Signal(SIGCONT);
}

ChildResult ChildProcess::Finish(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (m_out >= 0 || m_err >= 0) {
    if (Pump(deadline))
      continue;
    if (std::chrono::steady_clock::now() < deadline)
      continue;
    // A child past its time is a hang: end it, then collect what it left.
    m_result.timedOut = true;
    Signal(SIGKILL);
    Signal(SIGCONT);
    while (Pump(std::chrono::steady_clock::now() + std::chrono::seconds(5))) {
    }
    break;
  }
  if (m_isTool && EnglishTestMode()) {
    for (const std::string* output : {&m_result.out, &m_result.err}) {
      if (const std::string line = FirstChineseLine(*output); !line.empty())
        ADD_FAILURE() << "quillmark-cli printed Chinese under an English locale: " << line;
    }
  }
  int status = m_endStatus.value_or(0);
  if (m_endStatus || (m_pid > 0 && ::waitpid(m_pid, &status, 0) == m_pid)) {
    m_result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    m_result.termSignal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  }
  m_pid = -1;
  return m_result;
}

std::vector<std::string> CommandLine(std::string program, const std::vector<std::string>& args) {
  std::vector<std::string> argv{std::move(program)};
  argv.insert(argv.end(), args.begin(), args.end());
  return argv;
}

ChildResult RunChild(std::vector<std::string> argv, const ChildOptions& options,
                     std::chrono::milliseconds timeout) {
  ChildProcess child(std::move(argv), options);
  return child.Finish(timeout);
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos)
      end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

}  // namespace quillmark::test
