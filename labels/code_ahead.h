#pragma once

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "label_code.h"

namespace quillmark::labels {

// Encodes the codes of a sheet on helper threads, a bounded window ahead of
// the one drawing them: encoding (the QR mask search above all) costs more
// than drawing, and the two can share the machine's cores. The drawer
// takes the codes in order and encodes one itself rather than wait idle.
class CodeAhead {
 public:
  // payload(i) gives what code i carries; it is called from several threads.
  CodeAhead(CodeKind kind, std::size_t count, std::function<std::string(std::size_t)> payload,
            unsigned helpers);
  ~CodeAhead();
  CodeAhead(const CodeAhead&) = delete;
  CodeAhead& operator=(const CodeAhead&) = delete;

  // Code i, in order: i = 0, 1, 2, … each once.
  EncodedCode Take(std::size_t i);

  static constexpr std::size_t kWindow = 256;

 private:
  struct Slot {
    EncodedCode code;
    bool ready = false;
  };
  void Work();
  bool ClaimLocked(std::size_t& index);  // the next code to encode, if the window allows
  void Store(std::size_t index, EncodedCode code);

  CodeKind m_kind;
  std::size_t m_count;
  std::function<std::string(std::size_t)> m_payload;
  std::mutex m_mutex;
  std::condition_variable m_changed;
  std::vector<Slot> m_slots;  // code i in slot i % kWindow
  std::size_t m_next = 0;     // the first code nobody has begun
  std::size_t m_taken = 0;    // codes handed out so far
  bool m_stop = false;
  std::vector<std::thread> m_helpers;
};

}  // namespace quillmark::labels
