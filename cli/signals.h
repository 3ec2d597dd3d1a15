#pragma once

namespace quillmark::cli {

// A file-size limit or a closed output pipe must show as a failed write,
// not end the process in the middle of a batch.
bool IgnoreWriteSignals();

// SIGINT and SIGTERM only ask the run to stop before its next device.
// After the first of them a second SIGINT ends the process at once.
bool InstallStopHandlers();

// The signal that asked for a stop, or 0 while none has arrived.
int StopSignal();

}  // namespace quillmark::cli
