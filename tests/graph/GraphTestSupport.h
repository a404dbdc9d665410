#pragma once
// What the graph tests share: simulated cameras installed for one test with the proof at its end
// that every counted object and task-memory block was given back, the objects of one capture
// graph, and a frame counter that sits in a sample grabber.

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/DirectShow9.h"
#include "platform/graph/GraphClasses.h"
#include "platform/sim/SimCameras.h"

namespace korvane::graph::testing {

using sim::SimDescription;
using sim::SimDevice;
using sim::SimFormat;

// Long enough for a loaded machine; a passing test never waits for it.
inline constexpr auto kPatience = std::chrono::seconds(20);

template <class Interface>
ComPtr<Interface> Create(const CLSID& classId) {
  ComPtr<Interface> object;
  CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER, IidOf<Interface>,
                   object.ReleaseAndGetVoidAddressOf());
  return object;
}

inline SimFormat Format(const GUID& subtype, LONG width, LONG height,
                        REFERENCE_TIME frameTime = 333333) {
  SimFormat format;
  format.subtype = subtype;
  format.width = width;
  format.height = height;
  format.avgTimePerFrame = frameTime;
  if (subtype == MEDIASUBTYPE_YUY2) {
    format.bitCount = 16;
    format.compression = MakeFourCC('Y', 'U', 'Y', '2');
  } else if (subtype == MEDIASUBTYPE_MJPG) {
    format.bitCount = 24;
    format.compression = MakeFourCC('M', 'J', 'P', 'G');
    format.fixedSizeSamples = false;
  } else if (subtype == MEDIASUBTYPE_NV12) {
    format.bitCount = 12;
    format.compression = MakeFourCC('N', 'V', '1', '2');
  } else {
    format.bitCount = subtype == MEDIASUBTYPE_RGB24 ? 24 : 32;
    format.compression = BI_RGB;
  }
  return format;
}

inline SimDevice Camera(SimFormat format, std::string name = "Graph camera") {
  SimDevice device;
  device.friendlyName = std::move(name);
  device.devicePath = "sim:graph";
  device.formats = {std::move(format)};
  return device;
}

// Counts the samples a grabber hands to its callback, on the streaming thread.
class FrameCounter final : public com::ComObject<ISampleGrabberCB> {
 public:
  HRESULT SampleCB(double time, IMediaSample* sample) override {
    std::lock_guard lock(mutex_);
    ++frames_;
    times_.push_back(time);
    lengths_.push_back(sample->GetActualDataLength());
    threads_.push_back(std::this_thread::get_id());
    changed_.notify_all();
    return S_OK;
  }
  HRESULT BufferCB(double, BYTE*, LONG) override { return E_NOTIMPL; }

  bool WaitFor(std::size_t frames) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, kPatience, [&] { return frames_ >= frames; });
  }
  std::size_t Frames() const {
    std::lock_guard lock(mutex_);
    return frames_;
  }
  std::vector<double> Times() const {
    std::lock_guard lock(mutex_);
    return times_;
  }
  std::vector<LONG> Lengths() const {
    std::lock_guard lock(mutex_);
    return lengths_;
  }
  std::vector<std::thread::id> Threads() const {
    std::lock_guard lock(mutex_);
    return threads_;
  }

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::size_t frames_ = 0;
  std::vector<double> times_;
  std::vector<LONG> lengths_;
  std::vector<std::thread::id> threads_;
};

// The objects of one capture graph, released before the leak check.
struct Graph {
  ComPtr<IGraphBuilder> builder = Create<IGraphBuilder>(CLSID_FilterGraph);
  ComPtr<ICaptureGraphBuilder2> capture = Create<ICaptureGraphBuilder2>(CLSID_CaptureGraphBuilder2);
  ComPtr<IMediaControl> control = builder.As<IMediaControl>();
  ComPtr<IMediaEvent> events = builder.As<IMediaEvent>();

  Graph() { capture->SetFiltergraph(builder.Get()); }

  // Adds the filter under the name; fails the test when the graph refuses it.
  void Add(IBaseFilter* filter, const char16_t* name) const {
    ASSERT_TRUE(SUCCEEDED(builder->AddFilter(filter, name)));
  }
  std::vector<std::u16string> FilterNames() const;
  // The next event within the time-out, its parameters freed; nullopt when none came.
  std::optional<std::pair<LONG, LONG_PTR>> NextEvent(LONG timeout) const;
};

// A grabber (buffering, counting into counter when given) and a null renderer, in the graph.
struct GrabberPath {
  ComPtr<IBaseFilter> grabberFilter = Create<IBaseFilter>(CLSID_SampleGrabber);
  ComPtr<ISampleGrabber> grabber = grabberFilter.As<ISampleGrabber>();
  ComPtr<IBaseFilter> renderer = Create<IBaseFilter>(CLSID_NullRenderer);
};
GrabberPath AddGrabberPath(const Graph& graph, FrameCounter* counter);

// A camera's preview through a grabber into a null renderer: what a program that takes frames
// builds. The counter counts the frames; built is the result of RenderStream.
struct GrabberGraph {
  Graph graph;
  ComPtr<FrameCounter> counter = com::MakeCom<FrameCounter>();
  GrabberPath path;
  HRESULT built = E_FAIL;

  explicit GrabberGraph(IBaseFilter* camera);
};

class GraphTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterGraphClasses();  // also for tests without cameras
    objects_ = com::LiveObjectCount();
    blocks_ = com::OutstandingTaskMemoryBlocks();
  }
  void TearDown() override {
    cameras_.reset();
    EXPECT_EQ(com::LiveObjectCount(), objects_) << "counted objects not released";
    EXPECT_EQ(com::OutstandingTaskMemoryBlocks(), blocks_) << "task memory not freed";
  }

  // Installs the cameras; the first one's filter is returned.
  ComPtr<IBaseFilter> Install(SimDescription description);
  ComPtr<IBaseFilter> Install(SimDevice device) { return Install(SimDescription{{device}}); }
  sim::SimStore& Store() { return cameras_->Store(); }

 private:
  std::optional<sim::ScopedSimCameras> cameras_;
  std::size_t objects_ = 0, blocks_ = 0;
};

// The bytes the grabber holds, through its two calls.
std::vector<BYTE> CurrentBuffer(ISampleGrabber* grabber);

}  // namespace korvane::graph::testing
