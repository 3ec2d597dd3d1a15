#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "child_process.h"
#include "cli_command.h"
#include "device_batch.h"
#include "fixture_image.h"
#include "scratch_dir.h"
#include "status_texts.h"

namespace quillmark::test {

inline const std::vector<std::string> kNothing;

// A scratch folder holding a valid 4 MiB input image, and a batch on it.
class ReliabilityTest : public testing::Test {
 protected:
  ReliabilityTest() {
    m_batch.image = MakeValidImage(k4MiB);
    WriteFileBytes(ImagePath(), m_batch.image);
  }

  std::string ImagePath() const { return m_dir / "image.bin"; }
  std::string OutDir() const { return m_dir / "out"; }

  ScratchDir m_dir;
  DeviceBatch m_batch;
};

inline bool HasTemporaryFile(const std::string& folder) {
  const std::vector<std::string> names = ListNames(folder);
  return std::any_of(names.begin(), names.end(),
                     [](const std::string& name) { return name.front() == '.'; });
}

inline int CountImages(const std::string& folder) {
  const std::vector<std::string> names = ListNames(folder);
  return static_cast<int>(std::count_if(names.begin(), names.end(), [](const std::string& name) {
    return name.rfind("fw_", 0) == 0;
  }));
}

// Starts a batch and pauses it right after its first saving text, when at
// most the first few devices can be done.
inline void StartAndPause(ChildProcess& cli) {
  ASSERT_TRUE(cli.started());
  const std::optional<std::string> first = cli.ReadLine(std::chrono::seconds(20));
  ASSERT_TRUE(first) << "no saving text came";
  ASSERT_EQ(first->rfind(kSavingPrefix, 0), 0u) << *first;
  ASSERT_TRUE(cli.Pause()) << "the run ended before it could be paused";
}

}  // namespace quillmark::test
