// The console's events in place of signals: Ctrl+C and Ctrl+Break (and a
// SIGINT that Wine hands on as Ctrl+C) ask the run to stop before its next
// device, as SIGINT does on Linux.
#include <windows.h>

#include <atomic>

#include "exit_codes.h"
#include "signals.h"

namespace quillmark::cli {
namespace {

// The numbers of the Linux signals the events stand for, so the exit
// statuses are the same on both systems.
constexpr int kHangUp = 1;
constexpr int kInterrupt = 2;
constexpr int kTerminate = 15;

// The handler runs on a thread of its own the system starts.
std::atomic<int> g_stopSignal{0};

int SignalFor(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
      return kInterrupt;
    case CTRL_CLOSE_EVENT:
      return kHangUp;
    default:  // CTRL_LOGOFF_EVENT, CTRL_SHUTDOWN_EVENT
      return kTerminate;
  }
}

BOOL WINAPI OnConsoleEvent(DWORD event) {
  int none = 0;
  g_stopSignal.compare_exchange_strong(none, SignalFor(event));
  if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT)
    return TRUE;
  // The system ends the process as soon as the handler returns from these
  // (or after its few seconds of grace): waiting here gives the run that
  // time to finish the file in hand, and the process ends when main returns.
  ::Sleep(INFINITE);
  return TRUE;
}

}  // namespace

const InterfaceText kNoStopHandlersText{
    "无法安装控制台处理程序，Ctrl+C和Ctrl+Break将立即结束程序",
    "Cannot install the console handler: Ctrl+C and Ctrl+Break will end the program at once"};
const int kStopStatuses[3] = {kExitSignalBase + kInterrupt, kExitSignalBase + kHangUp,
                              kExitSignalBase + kTerminate};
const InterfaceText kStopStatusesHelpText{
    "被Ctrl+C或Ctrl+Break停止；129 控制台窗口被关闭；143 注销或关机",
    "stopped by Ctrl+C or Ctrl+Break; 129 the console\nwindow was closed; 143 logoff or "
    "shutdown"};

// Windows has neither SIGPIPE nor SIGXFSZ: such a write fails with an error.
bool IgnoreWriteSignals() {
  return true;
}

bool InstallStopHandlers() {
  return ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE) != 0;
}

int StopSignal() {
  return g_stopSignal;
}

int StopNoticeDescriptor() {
  return -1;
}

}  // namespace quillmark::cli
