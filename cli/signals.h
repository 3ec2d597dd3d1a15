#pragma once

namespace quillmark::cli {

// A file-size limit or a closed output pipe must show as a failed write,
// not end the process in the middle of a batch.
bool IgnoreWriteSignals();

// SIGINT, SIGTERM and SIGHUP (the terminal or the ssh session closed) only
// ask the run to stop before its next device, however many arrive and in
// whatever order: a second one must not cut the orderly stop short.
bool InstallStopHandlers();

// Printed when InstallStopHandlers fails.
inline constexpr const char* kNoStopHandlersText =
    "无法安装信号处理程序，SIGINT、SIGTERM和SIGHUP将立即结束程序";

// The first signal that asked for a stop, or 0 while none has arrived.
int StopSignal();

}  // namespace quillmark::cli
