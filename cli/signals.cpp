#include "signals.h"

#include <signal.h>

#include <csignal>

namespace quillmark::cli {
namespace {

volatile std::sig_atomic_t g_stopSignal = 0;

bool SetDisposition(int signalNumber, void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  return ::sigaction(signalNumber, &action, nullptr) == 0;
}

void OnStopSignal(int signalNumber) {
  if (g_stopSignal == 0)
    g_stopSignal = signalNumber;
  // sigaction is async-signal-safe; the next SIGINT takes its default course.
  SetDisposition(SIGINT, SIG_DFL);
}

}  // namespace

bool IgnoreWriteSignals() {
  return SetDisposition(SIGXFSZ, SIG_IGN) && SetDisposition(SIGPIPE, SIG_IGN);
}

bool InstallStopHandlers() {
  return SetDisposition(SIGINT, OnStopSignal) && SetDisposition(SIGTERM, OnStopSignal);
}

int StopSignal() {
  return g_stopSignal;
}

}  // namespace quillmark::cli
