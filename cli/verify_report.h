#pragma once

#include <string>

#include "batch_verifier.h"

namespace quillmark::cli {

// The quality record of a verification: a CSV with the header
// "file,result,detail", one row per expected device in device order, then
// one per other file found in the directory; UTF-8, every line ending in
// LF. result is one of exact, missing, not-regular-file, wrong-size,
// differs, records-wrong, unreadable, unchecked (a stopped check did not
// reach it), leftover, extra, duplicate, folder-unreadable.
class VerifyReport {
 public:
  VerifyReport();

  void AddDevice(const DeviceResult& result);
  void AddUnchecked(const MacAddress& first);
  void AddFolderScan(const ExpectedBatch& batch, const FolderScan& scan);

  const std::string& Text() const { return m_text; }

 private:
  void AddRow(const std::string& file, const char* result, const std::string& detail);

  std::string m_text;
};

}  // namespace quillmark::cli
