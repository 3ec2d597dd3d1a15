#pragma once

#include <functional>
#include <string>
#include <vector>

#include "batch_writer.h"
#include "mac_address.h"

namespace quillmark::test {

// The batch writer's host for tests: records every call in order, so a
// test can check the exact sequence, and asks for a stop after stopAfter
// devices.
class RecordingHost final : public BatchHost {
 public:
  static constexpr const char* kFinished = "finished(true)";
  static constexpr const char* kUnfinished = "finished(false)";

  void SetStatus(StatusKind kind, std::string text) override {
    kinds.push_back(kind);
    if (onStatus)
      onStatus(text);
    calls.push_back(std::move(text));
  }
  void OnRunFinished(bool finished) override {
    calls.push_back(finished ? kFinished : kUnfinished);
  }
  bool StopRequested() override { return ++asked > stopAfter; }
  void OnDeviceDone(const MacAddress& first, bool written) override {
    done.push_back(first.ToFileName() + (written ? "" : " failed"));
  }

  std::vector<std::string> calls;  // status texts and the finish, in order
  std::vector<StatusKind> kinds;
  std::vector<std::string> done;  // each device's file name, " failed" after one not written
  std::function<void(const std::string&)> onStatus;
  int stopAfter = 1 << 30;
  int asked = 0;
};

}  // namespace quillmark::test
