#include "signals.h"

#include "exit_codes.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>

namespace quillmark::cli {
namespace {

// The batch writer's helper threads may take the signal, so the flag must
// be safe across threads, not only against its own thread's handler.
std::atomic<int> g_stopSignal{0};
static_assert(std::atomic<int>::is_always_lock_free, "the flag is set inside a signal handler");
// A byte lands in this pipe at every stop signal: a thread waiting to
// write to a stalled standard stream watches its reading end, so a stop
// ends the wait (the signal itself may reach another thread). Both ends
// never block; a full pipe is readable already.
int g_stopNotice[2] = {-1, -1};

// A stop only sets the flag: a call it interrupts goes on where it was.
// Without SA_RESTART a write to a slow reader (a full pipe) would fail,
// and standard output would lose a line, or the rest of one.
bool SetDisposition(int signalNumber, void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  return ::sigaction(signalNumber, &action, nullptr) == 0;
}

// The first signal is kept: the exit status names it.
void OnStopSignal(int signalNumber) {
  int none = 0;
  g_stopSignal.compare_exchange_strong(none, signalNumber);
  if (g_stopNotice[1] >= 0) {
    const int saved = errno;
    [[maybe_unused]] const ssize_t ignored = ::write(g_stopNotice[1], "", 1);
    errno = saved;
  }
}

}  // namespace

const InterfaceText kNoStopHandlersText{
    "无法安装信号处理程序，SIGINT、SIGTERM和SIGHUP将立即结束程序",
    "Cannot install the signal handlers: SIGINT, SIGTERM and SIGHUP will end the program at once"};
const int kStopStatuses[3] = {kExitSignalBase + SIGHUP, kExitSignalBase + SIGINT,
                              kExitSignalBase + SIGTERM};
const InterfaceText kStopStatusesHelpText{
    "被SIGHUP停止；130 被SIGINT停止；143 被SIGTERM停止",
    "stopped by SIGHUP; 130 stopped by SIGINT; 143 stopped by SIGTERM"};

bool IgnoreWriteSignals() {
  return SetDisposition(SIGXFSZ, SIG_IGN) && SetDisposition(SIGPIPE, SIG_IGN);
}

bool InstallStopHandlers() {
  if (g_stopNotice[0] < 0 && ::pipe2(g_stopNotice, O_CLOEXEC | O_NONBLOCK) != 0)
    return false;
  return SetDisposition(SIGINT, OnStopSignal) && SetDisposition(SIGTERM, OnStopSignal) &&
         SetDisposition(SIGHUP, OnStopSignal);
}

int StopSignal() {
  return g_stopSignal;
}

int StopNoticeDescriptor() {
  return g_stopNotice[0];
}

}  // namespace quillmark::cli
