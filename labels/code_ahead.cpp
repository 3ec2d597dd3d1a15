#include "code_ahead.h"

#include <system_error>

namespace quillmark::labels {

CodeAhead::CodeAhead(CodeKind kind, std::size_t count,
                     std::function<std::string(std::size_t)> payload, unsigned helpers)
    : m_kind(kind), m_count(count), m_payload(std::move(payload)), m_slots(kWindow) {
  for (unsigned h = 0; h < helpers; ++h) {
    try {
      m_helpers.emplace_back([this] { Work(); });
    } catch (const std::system_error&) {
      break;  // fewer helpers, or none: Take encodes what nobody else does
    }
  }
}

CodeAhead::~CodeAhead() {
  {
    std::lock_guard lock(m_mutex);
    m_stop = true;
  }
  m_changed.notify_all();
  for (std::thread& helper : m_helpers)
    helper.join();
}

bool CodeAhead::ClaimLocked(std::size_t& index) {
  if (m_next >= m_count || m_next >= m_taken + kWindow)
    return false;
  index = m_next++;
  return true;
}

void CodeAhead::Store(std::size_t index, EncodedCode code) {
  {
    std::lock_guard lock(m_mutex);
    Slot& slot = m_slots[index % kWindow];
    slot.code = std::move(code);
    slot.ready = true;
  }
  m_changed.notify_all();
}

void CodeAhead::Work() {
  for (;;) {
    std::size_t index = 0;
    {
      std::unique_lock lock(m_mutex);
      m_changed.wait(lock, [&] { return m_stop || ClaimLocked(index); });
      if (m_stop)
        return;
    }
    Store(index, EncodeCode(m_kind, m_payload(index)));
  }
}

EncodedCode CodeAhead::Take(std::size_t i) {
  std::unique_lock lock(m_mutex);
  Slot& slot = m_slots[i % kWindow];
  while (!slot.ready) {
    std::size_t index = 0;
    if (ClaimLocked(index)) {
      // Encoding the next code nobody has begun is better than waiting.
      lock.unlock();
      EncodedCode code = EncodeCode(m_kind, m_payload(index));
      Store(index, std::move(code));
      lock.lock();
    } else {
      m_changed.wait(lock);
    }
  }
  EncodedCode code = std::move(slot.code);
  slot.ready = false;
  ++m_taken;
  lock.unlock();
  m_changed.notify_all();  // the window moved on
  return code;
}

}  // namespace quillmark::labels
