#include "write_ahead.h"

#include <system_error>

namespace quillmark {

void Handover::Signal() {
  {
    const std::lock_guard lock(m_mutex);
    m_ready = true;
  }
  m_signalled.notify_one();
}

void Handover::Wait() {
  std::unique_lock lock(m_mutex);
  m_signalled.wait(lock, [this] { return m_ready; });
  m_ready = false;
}

WriteAhead::WriteAhead(DeviceFileWriter& writer) : m_writer(writer) {
  const int wanted = writer.Lanes() < kMaxLanes ? writer.Lanes() : kMaxLanes;
  if (wanted < 2)
    return;
  // A thread the system will not give only leaves fewer lanes running.
  int started = 0;
  try {
    for (; started < wanted; ++started)
      m_lanes[static_cast<std::size_t>(started)].thread =
          std::thread(&WriteAhead::Serve, this, started);
  } catch (const std::system_error&) {
  }
  m_depth = started;
  if (started < 2)
    StopLanes();
}

WriteAhead::~WriteAhead() {
  StopLanes();
}

void WriteAhead::StopLanes() {
  for (Lane& lane : m_lanes) {
    if (!lane.thread.joinable())
      continue;
    if (lane.busy)
      lane.done.Wait();
    lane.busy = false;
    lane.quit = true;
    lane.go.Signal();
    lane.thread.join();
  }
  m_depth = 1;
}

void WriteAhead::Begin(std::int32_t device, DeviceTicket ticket) {
  Lane& lane = LaneOf(device);
  lane.ticket = std::move(ticket);
  lane.busy = true;
  if (Threaded())
    lane.go.Signal();
}

const DeviceTicket& WriteAhead::Finish(std::int32_t device) {
  Lane& lane = LaneOf(device);
  if (Threaded()) {
    lane.done.Wait();
  } else {
    lane.ticket.staged = m_writer.Stage(0, lane.ticket.tempName, lane.ticket.records.data());
  }
  lane.busy = false;
  return lane.ticket;
}

const DeviceTicket* WriteAhead::Abandon(std::int32_t device) {
  Lane& lane = LaneOf(device);
  lane.busy = false;
  if (!Threaded())
    return nullptr;
  lane.done.Wait();
  return &lane.ticket;
}

void WriteAhead::Serve(int index) {
  Lane& lane = m_lanes[static_cast<std::size_t>(index)];
  for (;;) {
    lane.go.Wait();
    if (lane.quit)
      return;
    lane.ticket.staged = m_writer.Stage(index, lane.ticket.tempName, lane.ticket.records.data());
    lane.done.Signal();
  }
}

}  // namespace quillmark
