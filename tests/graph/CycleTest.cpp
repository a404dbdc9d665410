// Building, running and stopping a graph again and again leaves no thread and no file
// descriptor behind.

#include <filesystem>

#include "tests/graph/GraphTestSupport.h"

namespace korvane::graph::testing {
namespace {

std::size_t EntriesOf(const char* folder) {
  const std::filesystem::directory_iterator entries(folder);
  return static_cast<std::size_t>(std::distance(begin(entries), end(entries)));
}

using Cycles = GraphTest;

TEST_F(Cycles, AThousandBuildRunStopCyclesLeaveNoThreadOrDescriptor) {
  const ComPtr<IBaseFilter> camera = Install(Camera(Format(MEDIASUBTYPE_YUY2, 64, 48, 10'000)));
  const auto cycle = [&] {
    GrabberGraph preview(camera.Get());
    ASSERT_EQ(preview.built, S_OK);
    ASSERT_EQ(preview.graph.control->Run(), S_OK);
    OAFilterState state = -1;
    ASSERT_EQ(preview.graph.control->GetState(INFINITE, &state), S_OK);  // a frame came through
    ASSERT_EQ(preview.graph.control->Stop(), S_OK);
  };
  cycle();  // whatever the first run sets up once
  const std::size_t threads = EntriesOf("/proc/self/task");
  const std::size_t descriptors = EntriesOf("/proc/self/fd");
  for (int i = 0; i < 1000 && !HasFatalFailure(); ++i) cycle();
  EXPECT_EQ(EntriesOf("/proc/self/task"), threads);
  EXPECT_EQ(EntriesOf("/proc/self/fd"), descriptors);
}

}  // namespace
}  // namespace korvane::graph::testing
