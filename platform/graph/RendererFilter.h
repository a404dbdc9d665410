#pragma once
// What the filters at the end of a chain share (null renderer, video renderer, file writer): one
// input pin, a run that counts as still starting until the first sample has arrived, and the
// report to the graph when their stream has ended.

#include <condition_variable>
#include <mutex>

#include "platform/graph/GraphFilter.h"

namespace korvane::graph {

// A renderer's view of its run: after Run it is in transition until a sample or the end of the
// stream has arrived, so GetState can tell a graph that runs from one whose pictures flow.
class RunStart {
 public:
  void Begin(bool expectsSamples);
  void SampleArrived();
  // True the first time in a run: the renderer reports the end of its stream once.
  bool EndOfStream();
  void Halt();  // paused or stopped: nothing to wait for
  // S_OK once started, VFW_S_STATE_INTERMEDIATE when the time-out ends first.
  HRESULT Wait(DWORD timeout);

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool waiting_ = false;
  bool ended_ = false;
};

template <class... Extra>
class RendererFilter : public GraphFilter<Extra...> {
 public:
  RendererFilter(const CLSID& classId, std::u16string ownName)
      : GraphFilter<Extra...>(classId, std::move(ownName)), input_(*this, u"In") {}

  HRESULT OnReceive(InputPin&, IMediaSample* sample) override {
    const HRESULT result = Render(sample);
    runStart_.SampleArrived();
    return result;
  }

  void OnEndOfStream(InputPin&) override {
    if (this->HostState() == State_Stopped) return;
    if (runStart_.EndOfStream()) this->Notify(EC_COMPLETE, S_OK, 0);
  }

 protected:
  // The renderer's work on a sample, on the streaming thread.
  virtual HRESULT Render(IMediaSample* sample) = 0;

  std::vector<IPin*> Pins() override { return {&input_}; }
  HRESULT OnRun(REFERENCE_TIME) override {
    runStart_.Begin(input_.IsConnected());
    return S_OK;
  }
  HRESULT OnPause(FILTER_STATE) override {
    runStart_.Halt();
    return S_OK;
  }
  HRESULT OnStop() override {
    runStart_.Halt();
    return S_OK;
  }
  HRESULT OnGetState(DWORD timeout) override {
    return this->HostState() == State_Running ? runStart_.Wait(timeout) : S_OK;
  }

  InputPin input_;

 private:
  RunStart runStart_;
};

}  // namespace korvane::graph
