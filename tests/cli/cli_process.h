#pragma once

#include <sys/resource.h>
#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

namespace quillmark::test {

struct CliLaunch {
  std::string workingDirectory;         // empty: the test's own
  std::optional<rlim_t> fileSizeLimit;  // RLIMIT_FSIZE in the child
  bool terminal = false;                // standard output on a pseudo-terminal
};

struct CliResult {
  int exitCode = -1;   // -1 when a signal ended the process
  int termSignal = 0;  // the signal that ended it, or 0
  std::string out;
  std::string err;
};

// The lines of a text that ends every line in LF; a last line without one
// is kept too.
std::vector<std::string> Lines(const std::string& text);

// quillmark-cli running in a child process, its output read as it comes.
class CliProcess {
 public:
  CliProcess(const std::vector<std::string>& args, const CliLaunch& launch = {});
  ~CliProcess();
  CliProcess(const CliProcess&) = delete;
  CliProcess& operator=(const CliProcess&) = delete;

  bool started() const { return m_pid > 0; }
  // The next line of standard output, without its LF; empty at the end.
  std::optional<std::string> ReadOutLine();
  void Signal(int signalNumber);
  // Reads the rest of both outputs and waits for the process to end.
  CliResult Wait();

 private:
  bool ReadSome(int& fd, std::string& into);

  pid_t m_pid = -1;
  int m_out = -1;
  int m_err = -1;
  CliResult m_result;
  std::size_t m_outConsumed = 0;  // bytes of out already handed out as lines
};

CliResult RunCli(const std::vector<std::string>& args, const CliLaunch& launch = {});

}  // namespace quillmark::test
