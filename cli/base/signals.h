#pragma once

#include "interface_text.h"

namespace quillmark::cli {

// A file-size limit or a closed output pipe must show as a failed write,
// not end the process in the middle of a batch.
bool IgnoreWriteSignals();

// SIGINT, SIGTERM and SIGHUP (the terminal or the ssh session closed) only
// ask the run to stop before its next device, however many arrive and in
// whatever order: a second one must not cut the orderly stop short.
bool InstallStopHandlers();

// On Windows the console's events stand for the signals: Ctrl+C and
// Ctrl+Break for SIGINT, a closed console window for SIGHUP, the user
// logging off or the system shutting down for SIGTERM.
//
// Printed when InstallStopHandlers fails.
extern const InterfaceText kNoStopHandlersText;
// The help's text on the exit statuses of a stopped run, after the first
// status (129 on Linux, 130 on Windows).
extern const InterfaceText kStopStatusesHelpText;
// The statuses of a stopped run, in the order that text names them.
extern const int kStopStatuses[3];

// The first signal that asked for a stop, or 0 while none has arrived
// (on Windows the number of the signal its event stands for).
int StopSignal();

// A descriptor that turns readable once a stop is asked and stays so,
// for a wait (a write to a stalled pipe) to end with; -1 where there is
// none (on Windows, or before InstallStopHandlers).
int StopNoticeDescriptor();

}  // namespace quillmark::cli
