#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "child_process.h"
#include "device_batch.h"
#include "fixture_image.h"
#include "scratch_dir.h"

namespace quillmark::test {

inline const std::string kSavingPrefix = "保存MAC固件: ";
inline const std::string kCreationFailurePrefix = "创建文件出错: ";
inline const std::string kWriteFailurePrefix = "写入文件出错: ";
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

}  // namespace quillmark::test
