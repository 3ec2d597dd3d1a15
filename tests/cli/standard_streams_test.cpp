// A tool started with some of its standard descriptors closed, as a
// careless script or service unit may start it: the next file it opened
// would take the closed number and receive its status lines.
#include "cli_fixture.h"

namespace quillmark::test {
namespace {

// Each device's file flushed before its rename keeps the writing threads'
// files open long enough that, without the fix, some status line lands in
// one of them in nearly every run of this many devices.
constexpr int kCount = 60;

struct ClosedCase {
  const char* name;
  const char* redirections;  // for the shell that starts the tool
  std::vector<std::string> more;
};

void PrintTo(const ClosedCase& closed, std::ostream* os) {
  *os << closed.name;
}

class ClosedStreamsTest : public CliTest, public testing::WithParamInterface<ClosedCase> {};

TEST_P(ClosedStreamsTest, EveryImageIsExactAndNoLineLandsInAFile) {
  std::vector<std::string> args{"--image=image.img", "--count=" + std::to_string(kCount),
                                "--manifest=list.csv", "--durable"};
  args.insert(args.end(), GetParam().more.begin(), GetParam().more.end());
  std::vector<std::string> command{"/bin/sh", "-c",
                                   std::string("exec \"$0\" \"$@\" ") + GetParam().redirections,
                                   QUILLMARK_CLI_PATH};
  command.insert(command.end(), args.begin(), args.end());
  ChildOptions options;
  options.workingDirectory = m_root;
  const ChildResult result = RunChild(command, options);

  EXPECT_EQ(result.exitCode, 0) << result.err;
  const std::vector<std::string> written = m_dir.List("out");
  ASSERT_EQ(written.size(), static_cast<std::size_t>(kCount));
  std::string manifest = "file,mac1\n";
  for (int device = 0; device < kCount; ++device) {
    EXPECT_EQ(ReadFileBytes(Out(written[device])), DeviceImage(0x045755000000 + device, 1))
        << written[device];
    char address[24];
    std::snprintf(address, sizeof address, "04:57:55:00:00:%02x", device);
    manifest += written[device] + "," + address + "\n";
  }
  const std::vector<std::uint8_t> list = ReadFileBytes(m_dir / "list.csv");
  EXPECT_EQ(std::string(list.begin(), list.end()), manifest);
}

INSTANTIATE_TEST_SUITE_P(Descriptors, ClosedStreamsTest,
                         testing::Values(ClosedCase{"Output", ">&-", {}},
                                         ClosedCase{"AllThree", "<&- >&- 2>&-", {}}),
                         [](const testing::TestParamInfo<ClosedCase>& info) {
                           return info.param.name;
                         });

}  // namespace
}  // namespace quillmark::test
