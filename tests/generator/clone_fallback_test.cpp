// Where cloning is refused or fails, the batch still comes out exact:
// the writer falls back to writing files whole, for one file or for the
// rest of the run, and leaves no private copy of the image open.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>

#include "batch_writer.h"
#include "faulty_files.h"
#include "fixture_image.h"
#include "image_checks.h"
#include "job_builder.h"
#include "recording_host.h"
#include "scratch_dir.h"

namespace quillmark {
namespace {

using test::FaultyFiles;
using test::k4MiB;

using QuietHost = test::RecordingHost;

TEST(CloneFallbackTest, EveryFileIsExactWhateverTheFileSystemAnswers) {
  constexpr int kDevices = 5;
  struct Case {
    const char* name;
    std::function<void(FaultyFiles&)> setUp;
    int requests;     // clone requests the writer makes, its trial included
    int wholeWrites;  // device files written whole
  } cases[] = {
      {"clones throughout", [](FaultyFiles& f) { f.cloneByCopy = true; }, 1 + kDevices, 0},
      {"no unnamed files", [](FaultyFiles& f) { f.noUnnamedFiles = true; }, 0, kDevices},
      {"refused at the trial",
       [](FaultyFiles& f) { f.cloneAnswer = [](int) { return CloneResult::Refused; }; }, 1,
       kDevices},
      {"refused at the third device",
       [](FaultyFiles& f) {
         f.cloneAnswer = [](int r) { return r < 4 ? CloneResult::Cloned : CloneResult::Refused; };
       },
       4, 3},
      {"one clone fails",
       [](FaultyFiles& f) {
         f.cloneAnswer = [](int r) { return r == 3 ? CloneResult::Failed : CloneResult::Cloned; };
       },
       1 + kDevices, 1},
      {"the private copy cannot be written",
       [](FaultyFiles& f) {
         f.cloneByCopy = true;
         f.shortSourceWrite = true;
       },
       1, kDevices},
  };
  const std::vector<std::uint8_t> image = test::MakeValidImage(k4MiB);
  for (const Case& c : cases)
    for (int lanes : {1, 2}) {
      SCOPED_TRACE(std::string(c.name) + (lanes == 1 ? ", one lane" : ", two lanes"));
      test::ScratchDir dir;
      GenerationJob job = test::MakeJob("04:57:55:00:00:fe", kDevices, 3, image, dir.path());
      FaultyFiles files;
      c.setUp(files);
      QuietHost host;

      WriterOptions options;
      options.lanes = lanes;
      const FolderClaim claim = ClaimOutputFolder(files, dir.path());
      ASSERT_TRUE(claim.folder) << claim.refusal;
      const BatchOutcome outcome = GenerationWorker(job, host, *claim.folder, options);
      EXPECT_TRUE(outcome.finished);
      // Two lanes may both ask before either hears a refusal.
      if (lanes == 1) {
        EXPECT_EQ(files.cloneRequests(), c.requests);
        EXPECT_EQ(files.wholeWrites(), c.wholeWrites);
      } else {
        EXPECT_LE(files.cloneRequests(), c.requests + 1);
        EXPECT_GE(files.wholeWrites(), c.wholeWrites);
      }
      EXPECT_LE(files.sourceWrites(), 1);  // the image is copied at most once
      EXPECT_EQ(files.openFiles(), 0);
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
