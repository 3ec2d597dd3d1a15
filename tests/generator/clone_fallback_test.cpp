// Where cloning is refused or fails, the batch still comes out exact:
// the writer falls back to writing files whole, for one file or for the
// rest of the run, and leaves no private copy of the image open.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <functional>

#include "batch_writer.h"
#include "fixture_image.h"
#include "image_checks.h"
#include "scratch_dir.h"
#include "whole_copy.h"

namespace quillmark {
namespace {

using test::k4MiB;

// Clones by copying, answering each clone request (counted from 1, the
// writer's trial with two empty files included) as the case says. With
// two lanes the requests come from two threads at once.
class ScriptedClones : public SystemFiles {
 public:
  std::function<CloneResult(int request)> answer = [](int) { return CloneResult::Cloned; };
  bool noUnnamedFiles = false;
  bool shortSourceWrite = false;

  FileHandle CreateUnnamed(const std::string& directory) override {
    if (noUnnamedFiles)
      return kNoFile;
    const FileHandle file = SystemFiles::CreateUnnamed(directory);
    if (m_source == kNoFile)
      m_source = file;  // the first is the image's copy
    openFiles += file != kNoFile;
    return file;
  }
  FileHandle CreateExclusive(const std::string& path) override {
    const FileHandle file = SystemFiles::CreateExclusive(path);
    openFiles += file != kNoFile;
    return file;
  }
  CloneResult CloneFile(FileHandle target, FileHandle source) override {
    const CloneResult result = answer(++requests);
    if (result == CloneResult::Cloned && !test::CopyWholeFile(target, source))
      return CloneResult::Failed;
    return result;
  }
  std::uint64_t WriteAll(FileHandle file, const std::uint8_t* data, std::uint64_t size) override {
    if (file == m_source)
      ++sourceWrites;
    else if (size > kMacBlockSize)  // a file written whole, its last block included
      ++wholeWrites;
    const bool cut = file == m_source && shortSourceWrite;
    return SystemFiles::WriteAll(file, data, cut ? size / 2 : size);
  }
  bool Close(FileHandle file) override {
    --openFiles;
    if (file == m_source)
      m_source = kNoFile;  // its number may come back
    return SystemFiles::Close(file);
  }

  std::atomic<int> requests{0};
  std::atomic<int> sourceWrites{0};
  std::atomic<int> wholeWrites{0};
  std::atomic<int> openFiles{0};

 private:
  std::atomic<FileHandle> m_source{kNoFile};
};

class QuietHost : public BatchHost {
 public:
  explicit QuietHost(std::string directory) : m_directory(std::move(directory)) {}
  std::string GetOutputDirectory() override { return m_directory; }
  void SetStatus(StatusKind, std::string) override {}
  void OnRunFinished(bool) override {}
  bool StopRequested() override { return false; }

 private:
  std::string m_directory;
};

TEST(CloneFallbackTest, EveryFileIsExactWhateverTheFileSystemAnswers) {
  constexpr int kDevices = 5;
  struct Case {
    const char* name;
    std::function<void(ScriptedClones&)> setUp;
    int requests;     // clone requests the writer makes, its trial included
    int wholeWrites;  // device files written whole
  } cases[] = {
      {"clones throughout", [](ScriptedClones&) {}, 1 + kDevices, 0},
      {"no unnamed files", [](ScriptedClones& f) { f.noUnnamedFiles = true; }, 0, kDevices},
      {"refused at the trial",
       [](ScriptedClones& f) { f.answer = [](int) { return CloneResult::Refused; }; }, 1, kDevices},
      {"refused at the third device",
       [](ScriptedClones& f) {
         f.answer = [](int r) { return r < 4 ? CloneResult::Cloned : CloneResult::Refused; };
       },
       4, 3},
      {"one clone fails",
       [](ScriptedClones& f) {
         f.answer = [](int r) { return r == 3 ? CloneResult::Failed : CloneResult::Cloned; };
       },
       1 + kDevices, 1},
      {"the private copy cannot be written", [](ScriptedClones& f) { f.shortSourceWrite = true; },
       1, kDevices},
  };
  const std::vector<std::uint8_t> image = test::MakeValidImage(k4MiB);
  for (const Case& c : cases)
    for (int lanes : {1, 2}) {
      SCOPED_TRACE(std::string(c.name) + (lanes == 1 ? ", one lane" : ", two lanes"));
      test::ScratchDir dir;
      GenerationJob job;
      job.startMac = *MacAddress::Parse("04:57:55:00:00:fe");
      job.deviceCount = kDevices;
      job.macsPerDevice = 3;
      job.imageBytes.reset(new std::uint8_t[k4MiB]);
      std::memcpy(job.imageBytes.get(), image.data(), k4MiB);
      job.imageSize = static_cast<std::int32_t>(k4MiB);
      job.outputDirectory = dir.path();
      ScriptedClones files;
      c.setUp(files);
      QuietHost host(dir.path());

      WriterOptions options;
      options.lanes = lanes;
      const BatchOutcome outcome = GenerationWorker(job, host, files, options);
      EXPECT_TRUE(outcome.finished);
      // Two lanes may both ask before either hears a refusal.
      if (lanes == 1) {
        EXPECT_EQ(files.requests, c.requests);
        EXPECT_EQ(files.wholeWrites, c.wholeWrites);
      } else {
        EXPECT_LE(files.requests, c.requests + 1);
        EXPECT_GE(files.wholeWrites, c.wholeWrites);
      }
      EXPECT_LE(files.sourceWrites, 1);  // the image is copied at most once
      EXPECT_EQ(files.openFiles, 0);
      ASSERT_EQ(dir.List().size(), std::size_t(kDevices));
      MacAddress first = job.startMac;
      for (int device = 0; device < kDevices; ++device) {
        const std::vector<std::uint8_t> expected = test::ExpectedDeviceImage(
            image, std::vector<std::uint8_t>(first.octets.begin(), first.octets.end()), 3);
        EXPECT_TRUE(test::ReadFileBytes(dir / first.ToFileName()) == expected)
            << first.ToFileName();
        for (int j = 0; j < 3; ++j)
          first.Increment();
      }
    }
}

}  // namespace
}  // namespace quillmark
