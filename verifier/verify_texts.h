#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "batch_verifier.h"

namespace quillmark {

// The texts of a verification, for the status line, the console and the
// message box, in the manner of the writer's status texts.

// "校验MAC固件: 04:57:55:00:00:00", as each device is checked.
std::string CheckingText(const MacAddress& first);

// The one line that says what is wrong with a device's file, naming it by
// its path; empty for an exact file.
std::string DeviceFaultText(const ExpectedBatch& batch, const DeviceResult& result);

// The one line for a file that is not the batch's.
std::string FindingText(const ExpectedBatch& batch, const FolderFinding& finding);

// The line for a directory that could not be listed.
std::string UnlistedFolderText(const ExpectedBatch& batch);

// Most devices differing where all do: the files were written from
// another image than the one given, not damaged one by one. The offset,
// from the devices counted by the first offset each differs at.
std::optional<std::uint64_t> CommonDifferingOffset(
    const std::map<std::uint64_t, std::int32_t>& devicesByOffset, std::int32_t devicesChecked);
// The note that says so.
std::string WrongImageText(std::uint64_t offset);

// "……另有3项失败": the failures a short list leaves out.
std::string MoreFailuresText(std::size_t count);

// The last line: devices checked, exact and failed, and the files holding
// one of the batch's addresses and the other "fw_*.img" files, or how far
// a stopped check got.
std::string SummaryText(const VerifyOutcome& outcome, std::size_t deviceCount);

}  // namespace quillmark
