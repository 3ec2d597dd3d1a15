#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "crc32_shift.h"
#include "interface_language.h"
#include "stamp_profile.h"

namespace quillmark {

struct ByteRange {
  std::uint64_t offset = 0;
  std::uint64_t size = 0;
};

// Applies a checked profile to a device's copy of the image. Everything
// it reads or writes lies in the window, the image from WindowStart() on,
// so a writer needs to keep only that part of the image per device.
class StampLayout {
 public:
  // image: the accepted input image the profile was checked against; the
  // layout keeps what it needs of it.
  StampLayout(StampProfile checked, const std::uint8_t* image, std::uint64_t imageSize);

  std::uint64_t WindowStart() const { return m_windowStart; }
  // The bytes a device's copy may differ in (fields and stored checksums),
  // in order, neighbours merged.
  const std::vector<ByteRange>& Written() const { return m_written; }
  // Written() widened to whole units (blocks of the file system), merged.
  std::vector<ByteRange> WrittenBlocks(std::uint64_t unit) const;

  // Writes the fields, then recomputes the checksums in their order, into
  // window (the image from WindowStart() to its end, holding the input's
  // bytes everywhere else). addresses holds the device's addresses, six
  // bytes each.
  void Stamp(std::uint8_t* window, const std::uint8_t* addresses) const;
  // The field or checksum a byte belongs to, as the profile names it
  // ("第7行 mac-text 字段"), in the given language; empty for any other byte.
  std::string PartAt(std::uint64_t offset, InterfaceLanguage language) const;
  // The same in the words of the data files, which are alike in every
  // language ("line 7 mac-text", "line 24 crc32"); empty for any other byte.
  std::string PartNameAt(std::uint64_t offset) const;
  // The fields, offsets from the image's start.
  const std::vector<StampField>& Fields() const { return m_profile.fields; }

 private:
  // A part of a checksum's range that a device's copy may change.
  struct Segment {
    std::uint64_t offset = 0;
    std::uint64_t size = 0;
    std::size_t inputAt = 0;   // where its input bytes are in m_input
    Crc32ZeroShift following;  // crc32: over the rest of the range after it
  };
  // A checksum's value over the input's bytes and the parts that change:
  // a device's checksum is that value updated by the changed bytes alone,
  // so a checksum over a long range costs no more than one over a short.
  struct ChecksumUpdate {
    std::uint32_t inputValue = 0;
    std::vector<Segment> segments;
  };

  std::uint32_t Updated(const StampChecksum& checksum, const ChecksumUpdate& update,
                        const std::uint8_t* window) const;

  StampProfile m_profile;
  std::uint64_t m_imageSize;
  std::uint64_t m_windowStart = 0;
  std::vector<ByteRange> m_written;
  std::vector<std::uint8_t> m_input;      // the input's bytes of every written range, in order
  std::vector<ChecksumUpdate> m_updates;  // one per checksum, in the profile's order
};

// The address a field's bytes (field.Size() of them, from its offset)
// hold, as the field writes it; empty when they hold none (text that is
// not an address in the field's form).
std::optional<std::array<std::uint8_t, 6>> OctetsInField(const StampField& field,
                                                         const std::uint8_t* bytes);

}  // namespace quillmark
