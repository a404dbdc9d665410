#pragma once
// The event side of the filter graph: what its filters report (IMediaEventSink::Notify, on
// streaming threads) queued for the application (IMediaEvent), the completion of a run once
// every renderer has reached the end of its stream, and the error that ended streaming, which
// GetState reports until the graph is stopped.

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>

#include "platform/DirectShow9.h"

namespace korvane::graph {

class GraphEvents {
 public:
  GraphEvents() = default;
  ~GraphEvents();
  GraphEvents(const GraphEvents&) = delete;
  GraphEvents& operator=(const GraphEvents&) = delete;

  // A run starts from stopped: nothing completed or failed yet, renderers of this run counted.
  void StartRun(std::size_t renderers);
  // The graph has stopped or is no longer running: waiters return; a stop forgets the error.
  void StateChanged(bool stopped);

  void Notify(LONG code, LONG_PTR param1, LONG_PTR param2);
  HRESULT GetEvent(LONG* code, LONG_PTR* param1, LONG_PTR* param2, LONG timeout);
  // Waits for the end of the run (complete or aborted) while the graph, in state, runs.
  HRESULT WaitForCompletion(LONG timeout, LONG* code, const std::atomic<FILTER_STATE>& state);
  static HRESULT FreeEventParams(LONG code, LONG_PTR param1, LONG_PTR param2);

  // The error that ended streaming in this run, S_OK while there is none.
  HRESULT AbortError() const;

 private:
  struct Event {
    LONG code;
    LONG_PTR param1, param2;
  };
  void Queue(const Event& event);  // with mutex_ held

  // An application that never reads events must not make the queue grow without end.
  static constexpr std::size_t kMaxQueued = 256;

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Event> queue_;
  std::size_t renderers_ = 0;
  std::size_t completedRenderers_ = 0;
  LONG completion_ = 0;  // EC_COMPLETE, EC_ERRORABORT or EC_USERABORT once the run has ended
  HRESULT abortError_ = S_OK;
};

}  // namespace korvane::graph
