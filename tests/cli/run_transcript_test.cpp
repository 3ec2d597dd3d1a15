// What a small session prints, byte for byte, against a transcript kept
// in a file: the saving lines and the end line of a run, a failed device,
// the plan of a dry run and the refusals of requests. The texts come from
// the file, never from the code, so changing one character of a status
// text fails here. The scratch folder's path reads "ROOT". The English run
// compares with its own transcript beside the Chinese one.
#include <sys/stat.h>

#include <fstream>

#include "cli_fixture.h"
#include "fixture_image.h"

namespace quillmark::test {
namespace {

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at))
    text.replace(at, from.size(), to), at += to.size();
  return text;
}

class RunTranscriptTest : public CliTest {
 protected:
  // One command and what it printed, as the transcript file holds it.
  std::string Step(const std::vector<std::string>& args) {
    std::string step = "$ quillmark-cli";
    for (const std::string& arg : args)
      step += " " + arg;
    std::vector<std::string> withoutLedger = args;
    withoutLedger.push_back("--no-ledger");  // whatever the environment names
    const ChildResult result = Run(withoutLedger);
    step += "\n[stdout]\n" + result.out + "[stderr]\n" + result.err + "[exit " +
            std::to_string(result.exitCode) + "]\n\n";
    return Replaced(step, m_root, "ROOT");
  }
};

TEST_F(RunTranscriptTest, ASmallSessionPrintsTheKnownBytes) {
  std::vector<std::uint8_t> tooLong = m_image;
  tooLong.push_back(0);
  WriteFileBytes(m_dir / "long.img", tooLong);
  // One statement each: the steps change the folders, so they run in order.
  std::string transcript = Step({"--image=image.img", "--count=3", "--macs-per-device=2"});
  transcript += Step(
      {"--image=image.img", "--out=lot", "--start-mac=04:57:55:00:00:fe", "--count=2", "--quiet"});
  transcript += Step({"--image=image.img", "--out=lot", "--count=2", "--dry-run"});
  // A folder under device 2's name: its file cannot be created.
  ASSERT_EQ(::mkdir((m_dir / "out/fw_045755_000011.img").c_str(), 0777), 0);
  transcript += Step({"--image=image.img", "--start-mac=04:57:55:00:00:10", "--count=3"});
  transcript += Step({"--image=image.img", "--count=0"}) +
                Step({"--image=image.img", "--count=65536"}) +
                Step({"--image=image.img", "--start-mac=01:00:00:00:00:00"}) +
                Step({"--image=image.img", "--macs-per-device=5"}) + Step({"--image=missing.img"}) +
                Step({"--image=long.img"}) + Step({"--image=image.img", "--manifest=out"});
  const std::string expected =
      ReadFileText(EnglishTestMode() ? QUILLMARK_CLI_TEST_DATA "/run_transcript.en.txt"
                                     : QUILLMARK_CLI_TEST_DATA "/run_transcript.txt");
  EXPECT_FALSE(expected.empty());
  if (std::getenv("QUILLMARK_WRITE_TRANSCRIPT") != nullptr)
    std::ofstream(std::getenv("QUILLMARK_WRITE_TRANSCRIPT"), std::ios::binary) << transcript;
  EXPECT_EQ(transcript, expected);
}

}  // namespace
}  // namespace quillmark::test
