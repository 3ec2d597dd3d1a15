#pragma once

#include <sys/resource.h>
#include <sys/types.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "scratch_dir.h"

namespace quillmark::test {

struct ChildOptions {
  int workingDirectoryFd = -1;          // the child starts here when set (paths past PATH_MAX)
  std::string workingDirectory;         // or here, when not empty
  std::optional<rlim_t> fileSizeLimit;  // RLIMIT_FSIZE in the child
  bool terminal = false;                // standard output on a pseudo-terminal
  std::string outputPath;               // or, when not empty, this file opened for writing
  // "NAME=VALUE" entries that replace the test's own variables of those
  // names in the child's environment; "NAME" alone leaves NAME unset.
  // Where they name neither XDG_CONFIG_HOME nor HOME, the child's
  // configuration folder is an empty one of its own, and where they do not
  // name QUILLMARK_SYSTEM_CONFIG, the system's file is one that is not
  // there: no station configuration of the developer's or the machine's
  // reaches a test that did not ask for one.
  std::vector<std::string> environment;
};

struct ChildResult {
  int exitCode = -1;   // -1 when a signal ended the child
  int termSignal = 0;  // the signal that ended it, or 0
  bool timedOut = false;
  std::string out;
  std::string err;
};

// A program running in a child process, its standard output read as it
// comes and its standard error collected. A child still running when the
// object goes is killed and reaped.
class ChildProcess {
 public:
  // argv[0] is a path, or a name looked up on PATH.
  explicit ChildProcess(std::vector<std::string> argv, const ChildOptions& options = {});
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool started() const { return m_pid > 0; }
  pid_t pid() const { return m_pid; }
  // The next line of standard output without its LF; empty at the end of
  // the output or when none came within the timeout.
  std::optional<std::string> ReadLine(std::chrono::milliseconds timeout);
  bool Signal(int signalNumber);
  // Stops the child and returns once it is stopped (false if it ended
  // first); Resume lets it go on.
  bool Pause();
  // Returns once the child stopped itself (a probe's raise(SIGSTOP) at
  // the moment a test needs); false if it ended instead.
  bool WaitUntilStopped();
  bool Resume();
  // Reads the rest of both outputs and reaps the child; one still running
  // at the timeout is killed, and the result says so.
  ChildResult Finish(std::chrono::milliseconds timeout);

 private:
  bool Pump(std::chrono::steady_clock::time_point deadline);

  pid_t m_pid = -1;
  int m_out = -1;
  int m_err = -1;
  ChildResult m_result;
  std::optional<int> m_endStatus;            // reaped while pausing
  std::size_t m_linesTaken = 0;              // bytes of out already handed out as lines
  std::unique_ptr<ScratchDir> m_configHome;  // the child's empty configuration folder
  bool m_isTool =
      false;  // quillmark-cli in the test's locale, whose output the English mode checks
};

inline constexpr std::chrono::seconds kChildTimeout{60};

// A program followed by its arguments.
std::vector<std::string> CommandLine(std::string program, const std::vector<std::string>& args);

// Runs argv[0] with the rest as its arguments to its end (see Finish); a
// child that could not be started gives exit code -1 and no output.
ChildResult RunChild(std::vector<std::string> argv, const ChildOptions& options = {},
                     std::chrono::milliseconds timeout = kChildTimeout);

// The lines of a text whose lines end in LF; a last line without one is
// kept too.
std::vector<std::string> Lines(const std::string& text);

}  // namespace quillmark::test
