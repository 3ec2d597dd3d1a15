#include "module_file.h"

#include <elf.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "module_interface.h"

namespace quillmark::modules {
namespace {

// The longest section name table and build id read; a real module's are a
// few kilobytes and 65 bytes.
constexpr std::uint64_t kNameTableLimit = 1 << 20;
constexpr std::uint64_t kBuildIdLimit = 4096;

bool ReadAt(int descriptor, void* buffer, std::uint64_t size, std::uint64_t offset) {
  auto* bytes = static_cast<char*>(buffer);
  while (size > 0) {
    const ssize_t got = ::pread(descriptor, bytes, size, static_cast<off_t>(offset));
    if (got <= 0)
      return false;
    bytes += got;
    size -= static_cast<std::uint64_t>(got);
    offset += static_cast<std::uint64_t>(got);
  }
  return true;
}

bool Within(std::uint64_t offset, std::uint64_t size, std::uint64_t fileSize) {
  return offset <= fileSize && size <= fileSize - offset;
}

template <typename Header>
bool ReadTable(int descriptor, std::uint64_t offset, std::uint64_t count, std::uint64_t fileSize,
               std::vector<Header>& table) {
  if (!Within(offset, count * sizeof(Header), fileSize))
    return false;
  table.resize(count);
  return ReadAt(descriptor, table.data(), count * sizeof(Header), offset);
}

bool IsNativeSharedObject(const ElfW(Ehdr) & header) {
  const unsigned char byteOrder =
      __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__ ? ELFDATA2LSB : ELFDATA2MSB;
  const unsigned char fileClass = sizeof(void*) == 8 ? ELFCLASS64 : ELFCLASS32;
  return std::memcmp(header.e_ident, ELFMAG, SELFMAG) == 0 &&
         header.e_ident[EI_CLASS] == fileClass && header.e_ident[EI_DATA] == byteOrder &&
         header.e_type == ET_DYN && header.e_phentsize == sizeof(ElfW(Phdr)) && header.e_phnum > 0;
}

}  // namespace

ModuleFile ReadModuleFile(int descriptor) {
  struct stat status {};
  if (::fstat(descriptor, &status) != 0 || status.st_size < 0)
    return {};
  const auto fileSize = static_cast<std::uint64_t>(status.st_size);
  ElfW(Ehdr) header{};
  if (!ReadAt(descriptor, &header, sizeof header, 0) || !IsNativeSharedObject(header))
    return {};
  std::vector<ElfW(Phdr)> segments;
  if (!ReadTable(descriptor, header.e_phoff, header.e_phnum, fileSize, segments))
    return {};
  for (const ElfW(Phdr) & segment : segments) {
    if (!Within(segment.p_offset, segment.p_filesz, fileSize))
      return {};
  }
  ModuleFile file{.whole = true, .buildId = {}};
  if (header.e_shoff == 0 || header.e_shnum == 0)
    return file;  // no sections, so no build id
  std::vector<ElfW(Shdr)> sections;
  if (header.e_shentsize != sizeof(ElfW(Shdr)) ||
      !ReadTable(descriptor, header.e_shoff, header.e_shnum, fileSize, sections) ||
      header.e_shstrndx >= sections.size())
    return {};
  for (const ElfW(Shdr) & section : sections) {
    if (section.sh_type != SHT_NOBITS && !Within(section.sh_offset, section.sh_size, fileSize))
      return {};
  }
  const ElfW(Shdr)& nameTable = sections[header.e_shstrndx];
  if (nameTable.sh_size > kNameTableLimit)
    return file;
  std::string names(nameTable.sh_size, '\0');
  if (!ReadAt(descriptor, names.data(), names.size(), nameTable.sh_offset))
    return {};
  const std::string_view wanted(QUILLMARK_MODULE_BUILD_SECTION);
  for (const ElfW(Shdr) & section : sections) {
    if (section.sh_name >= names.size() ||
        std::string_view(names.c_str() + section.sh_name) != wanted)
      continue;
    if (section.sh_type == SHT_NOBITS || section.sh_size > kBuildIdLimit)
      return file;
    file.buildId.assign(section.sh_size, '\0');
    if (!ReadAt(descriptor, file.buildId.data(), section.sh_size, section.sh_offset))
      return {};
    return file;
  }
  return file;
}

}  // namespace quillmark::modules
