#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "batch_verifier.h"

namespace quillmark {

// The message box that ends a check from the dialog: the summary, then
// the first lines of what failed, so the operator sees at once which
// files to look at without a box taller than the screen.
class VerifyMessage {
 public:
  static constexpr std::size_t kShownFailures = 10;

  explicit VerifyMessage(const ExpectedBatch& batch) : m_batch(batch) {}

  // On the checking thread, as the verifier reports.
  void AddDevice(const DeviceResult& result);
  void AddFolderScan(const FolderScan& scan);

  // Once the check has returned.
  std::string Text(const VerifyOutcome& outcome) const;

 private:
  void AddFailure(std::string line);

  const ExpectedBatch& m_batch;
  std::vector<std::string> m_shown;
  std::size_t m_failures = 0;
};

}  // namespace quillmark
