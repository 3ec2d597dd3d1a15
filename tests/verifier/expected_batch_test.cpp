#include "expected_batch.h"

#include <gtest/gtest.h>

namespace quillmark {
namespace {

MacAddress Mac(const char* text) {
  return *MacAddress::Parse(text);
}

TEST(ExpectedBatchTest, TheDevicesOfAJobRunOnAcrossCarries) {
  GenerationJob job;
  job.startMac = Mac("04:57:55:00:00:fe");
  job.deviceCount = 3;
  job.macsPerDevice = 2;
  job.imageSize = 0x400000;
  job.outputDirectory = "out/";
  const ExpectedBatch batch = BatchOfJob(job);
  EXPECT_EQ(batch.devices,
            (std::vector<MacAddress>{Mac("04:57:55:00:00:fe"), Mac("04:57:55:00:01:00"),
                                     Mac("04:57:55:00:01:02")}));
  EXPECT_EQ(batch.imageSize, 0x400000u);
  // Joined as the writer joins them: the text as given and one separator.
  EXPECT_EQ(batch.PathOf("fw_045755_0000fe.img"), "out//fw_045755_0000fe.img");
}

TEST(ExpectedBatchTest, TheIndexFindsTheDeviceHoldingAnAddress) {
  ExpectedBatch batch;
  batch.macsPerDevice = 3;
  // Listed out of order, with a gap, as a manifest may list them.
  batch.devices = {Mac("04:57:55:00:00:10"), Mac("04:57:55:00:00:00"), Mac("04:57:55:00:00:03")};
  const BatchAddressIndex index(batch);
  struct Case {
    const char* address;
    std::optional<std::size_t> device;
  } cases[] = {
      {"04:57:55:00:00:00", 1},
      {"04:57:55:00:00:02", 1},
      {"04:57:55:00:00:03", 2},
      {"04:57:55:00:00:05", 2},
      {"04:57:55:00:00:06", std::nullopt},
      {"04:57:55:00:00:0f", std::nullopt},
      {"04:57:55:00:00:12", 0},
      {"04:57:55:00:00:13", std::nullopt},
      {"00:00:00:00:00:00", std::nullopt},
  };
  for (const Case& c : cases)
    EXPECT_EQ(index.DeviceHolding(Mac(c.address)), c.device) << c.address;

  EXPECT_EQ(index.DeviceNamed("fw_045755_000003.img"), 2u);
  EXPECT_EQ(index.DeviceNamed("fw_045755_000004.img"), std::nullopt);  // held, not its name
  EXPECT_EQ(index.DeviceNamed("fw_045755_00000A.img"), std::nullopt);
}

TEST(ExpectedBatchTest, OnlyTheWritersExactFileNameCarriesAnAddress) {
  EXPECT_EQ(AddressOfFileName("fw_045755_00a0ff.img"), Mac("04:57:55:00:a0:ff"));
  for (const char* name : {"fw_045755_00A0FF.img", "fw_045755-00a0ff.img", "fw_045755_00a0ff.imgx",
                           "fw_04575_500a0ff.img", "fw_045755_00a0f.img", "xw_045755_00a0ff.img",
                           ".fw_045755_00a0ff.img.part", "fw_04+755_00a0ff.img"}) {
    EXPECT_EQ(AddressOfFileName(name), std::nullopt) << name;
  }
}

}  // namespace
}  // namespace quillmark
