#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "scratch_dir.h"
#include "secret_sources.h"
#include "station_key.h"

namespace quillmark::secrets {
namespace {

using test::ScratchDir;

mode_t ModeOf(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

void WriteBytes(const std::string& path, std::size_t size, mode_t mode) {
  std::ofstream(path, std::ios::binary) << std::string(size, 'k');
  ::chmod(path.c_str(), mode);
}

TEST(SecretStationKey, CreatedPrivateWhateverTheUmaskAndReadBack) {
  ScratchDir dir;
  SystemSecretSource source;
  const mode_t old = ::umask(0);
  const auto created = CreateStationKey(dir / "station.key", source);
  ::umask(old);
  ASSERT_TRUE(created.ok()) << created.error;
  EXPECT_EQ(ModeOf(dir / "station.key"), 0600u);
  const auto read = ReadStationKey(dir / "station.key");
  ASSERT_TRUE(read.ok()) << read.error;
  EXPECT_EQ(*read.value, *created.value);
  EXPECT_NE(*read.value, StationKey{});
}

TEST(SecretStationKey, NeverCreatedOverAFileOrThroughALink) {
  ScratchDir dir;
  test::FixedBytes source(std::vector<std::uint8_t>(64, 7));
  WriteBytes(dir / "existing", 5, 0600);
  ASSERT_EQ(::symlink((dir / "target").c_str(), (dir / "link").c_str()), 0);
  EXPECT_FALSE(CreateStationKey(dir / "existing", source).ok());
  EXPECT_FALSE(CreateStationKey(dir / "link", source).ok());
  EXPECT_EQ(dir.List(), (std::vector<std::string>{"existing", "link"}));
  std::ifstream existing(dir / "existing");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(existing), {}), "kkkkk");
}

TEST(SecretStationKey, ReadRefusesWhatOthersCouldReadOrThatIsNoKey) {
  ScratchDir dir;
  WriteBytes(dir / "good", 32, 0600);
  ASSERT_TRUE(ReadStationKey(dir / "good").ok());
  struct Case {
    std::string name;
    std::size_t size;
    mode_t mode;
  };
  for (const Case& c : {Case{"group", 32, 0640},
                        {"others", 32, 0604},
                        {"written", 32, 0620},
                        {"short", 31, 0600},
                        {"long", 33, 0600}}) {
    WriteBytes(dir / c.name, c.size, c.mode);
    const auto read = ReadStationKey(dir / c.name);
    EXPECT_FALSE(read.ok()) << c.name;
    EXPECT_NE(read.error.find(dir / c.name), std::string::npos) << read.error;
  }
  ASSERT_EQ(::symlink((dir / "good").c_str(), (dir / "link").c_str()), 0);
  ASSERT_EQ(::mkdir((dir / "folder").c_str(), 0700), 0);
  for (const std::string name : {"link", "folder", "missing"})
    EXPECT_FALSE(ReadStationKey(dir / name).ok()) << name;
}

}  // namespace
}  // namespace quillmark::secrets
