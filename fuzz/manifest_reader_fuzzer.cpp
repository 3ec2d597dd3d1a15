// Any bytes as a manifest: the reader either refuses them with one line
// naming a line of the file, or accepts what a run writes, as a spreadsheet
// may save it (a byte-order mark, CR LF line ends): the manifest it read
// written out again is the same bytes once those are taken away.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "batch_manifest.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quillmark;
  using fuzz::Require;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const ManifestReading reading = ParseManifest(text);
  if (!reading.manifest) {
    Require(!reading.error.empty(), "a refusal says why");
    Require(reading.error.find('\n') == std::string::npos, "a refusal is one line");
    return 0;
  }
  Require(reading.error.empty(), "an accepted manifest has no refusal");
  const BatchManifest& manifest = *reading.manifest;
  Require(manifest.macsPerDevice >= 1 && manifest.macsPerDevice <= 4, "1 to 4 addresses a device");
  Require(manifest.devices.size() <= 65535, "at most 65535 devices");
  std::string written = ManifestHeader(manifest.macsPerDevice) + '\n';
  for (const ManifestDevice& device : manifest.devices)
    written += ManifestRow(device.first, manifest.macsPerDevice) + '\n';
  std::string plain(text.substr(text.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0));
  std::string::size_type at = 0;
  while ((at = plain.find("\r\n", at)) != std::string::npos)
    plain.erase(at, 1);
  Require(written == plain, "only what a run writes is accepted");
  return 0;
}
