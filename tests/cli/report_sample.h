#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "child_process.h"
#include "ledger.h"

namespace quillmark::test {

inline constexpr std::uint64_t kLine3 = 0x045755000000;  // pool line3: 4096 addresses
inline constexpr std::uint64_t kLine4 = 0x045755100000;  // pool line4: 256 addresses

// A ledger as a line leaves it: pools line3, line4 and an empty one; in
// line3 a finished batch, one reserved and never ended, one finished and
// then voided, one stopped and rerun to the end, one failed, with gaps
// between; one finished batch in line4, of lot lot-0413. Returns an error text, or "".
std::string FillSampleLedger(ledger::Ledger& ledger);

// quillmark-cli with the given arguments, to its end.
ChildResult RunQuillmarkCli(const std::vector<std::string>& args, const ChildOptions& options = {});

// The whole file, or "" when it cannot be read.
std::string ReadText(const std::string& path);

}  // namespace quillmark::test
