// The core's batch writer without the command-line tool around it: the
// job accepted as the dialog accepts it, then one run with a silent host.
// Used where the command-line tool's free-space check refuses a batch
// that only a file system sharing data between files can hold.
//   quillmark-core-batch IMAGE OUTDIR START_MAC COUNT MACS_PER_DEVICE [--no-clone]
//                        [--steady-above BYTES]
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "batch_writer.h"
#include "job_acceptance.h"

namespace {

class SilentHost : public quillmark::BatchHost {
 public:
  void SetStatus(quillmark::StatusKind, std::string text) override { m_last = std::move(text); }
  void OnRunFinished(bool) override {}
  bool StopRequested() override { return false; }
  const std::string& last() const { return m_last; }

 private:
  std::string m_last;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 6) {
    std::fprintf(stderr,
                 "usage: %s IMAGE OUTDIR START_MAC COUNT MACS_PER_DEVICE [--no-clone] "
                 "[--steady-above BYTES] [--lanes N]\n",
                 argv[0]);
    return 2;
  }
  quillmark::JobRequestTexts texts{argv[3], argv[4], argv[5], argv[1], argv[2], ""};
  quillmark::GenerationJob job;
  const quillmark::JobVerdict verdict = quillmark::AcceptJobRequest(job, texts);
  if (!verdict.accepted) {
    std::fprintf(stderr, "%s\n", verdict.message.c_str());
    return 1;
  }
  quillmark::WriterOptions options;
  for (int i = 6; i < argc; ++i) {
    if (std::strcmp(argv[i], "--no-clone") == 0)
      options.cloning = false;
    else if (std::strcmp(argv[i], "--steady-above") == 0 && i + 1 < argc)
      options.steadyMemoryAbove = std::strtoull(argv[++i], nullptr, 10);
    else if (std::strcmp(argv[i], "--lanes") == 0 && i + 1 < argc)
      options.lanes = std::atoi(argv[++i]);
  }
  const quillmark::FolderClaim claim = quillmark::ClaimOutputFolder(job.outputDirectory);
  if (!claim.folder) {
    std::fprintf(stderr, "%s\n", claim.refusal.c_str());
    return 1;
  }
  SilentHost host;
  const quillmark::BatchOutcome outcome =
      quillmark::GenerationWorker(job, host, *claim.folder, options);
  if (!outcome.finished) {
    std::fprintf(stderr, "%s\n", host.last().c_str());
    return 1;
  }
  return 0;
}
