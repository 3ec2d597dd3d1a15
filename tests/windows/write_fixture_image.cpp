// Writes a valid firmware image for the scripts that drive the Windows
// programs from outside Wine: write_fixture_image PATH SIZE.
#include <cstdlib>
#include <string>

#include "fixture_image.h"

int main(int argc, char** argv) {
  if (argc != 3)
    return 2;
  const unsigned long size = std::strtoul(argv[2], nullptr, 10);
  quillmark::test::WriteFileBytes(
      argv[1], quillmark::test::MakeValidImage(static_cast<std::uint32_t>(size)));
  return 0;
}
