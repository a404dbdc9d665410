// Whole-process start-up: the time from starting a program to the first picture it puts into
// its window, seen from outside by the X server's damage reports, for two programs started
// alternately in pairs. Nothing inside the measured programs is changed for it.
//
// Usage: bench_startup_process PAIRS PROGRAM BASELINE
//        bench_startup_process 0 PROGRAM   (starts it once and ends it at its first paint:
//        with PROGRAM a script that runs the tool under a profiler, a profile of the start-up)
// Runs under the X display in $DISPLAY (the script StartupProcess.sh brings its own Xvfb).
// Prints each program's median and the median of the per-pair ratios PROGRAM / BASELINE.
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <xcb/damage.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

struct ConnectionCloser {
  void operator()(xcb_connection_t* connection) const { xcb_disconnect(connection); }
};
using Connection = std::unique_ptr<xcb_connection_t, ConnectionCloser>;

struct EventFree {
  void operator()(xcb_generic_event_t* event) const { std::free(event); }
};
using Event = std::unique_ptr<xcb_generic_event_t, EventFree>;

class Observer {
 public:
  Observer() : FConnection(xcb_connect(nullptr, nullptr)) {
    if (xcb_connection_has_error(FConnection.get())) throw std::runtime_error("no X display");
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(FConnection.get())).data;
    FRoot = screen->root;
    const xcb_query_extension_reply_t* damage =
        xcb_get_extension_data(FConnection.get(), &xcb_damage_id);
    if (!damage || !damage->present) throw std::runtime_error("the X server has no DAMAGE");
    FDamageEvent = damage->first_event + XCB_DAMAGE_NOTIFY;
    free(xcb_damage_query_version_reply(
        FConnection.get(), xcb_damage_query_version(FConnection.get(), 1, 1), nullptr));
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(FConnection.get(), FRoot, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(FConnection.get());
  }

  // Starts the program and returns the milliseconds until its first top-level window is
  // drawn into; the program is then ended and its windows are gone before this returns.
  double TimeToFirstPaint(const std::string& program) {
    std::vector<xcb_damage_damage_t> damages;
    std::set<xcb_window_t> windows;
    char* arguments[] = {const_cast<char*>(program.c_str()), nullptr};
    const Clock::time_point start = Clock::now();
    pid_t child = 0;
    if (posix_spawn(&child, program.c_str(), nullptr, nullptr, arguments, environ) != 0) {
      throw std::runtime_error("cannot start " + program);
    }
    double elapsed = -1;
    while (elapsed < 0) {
      Event event = NextEventWhile(child, start);
      const uint8_t type = event->response_type & 0x7f;
      if (type == XCB_CREATE_NOTIFY) {
        // A window is watched from its creation: the program cannot draw before mapping it.
        const auto* created = reinterpret_cast<xcb_create_notify_event_t*>(event.get());
        if (created->parent != FRoot) continue;
        windows.insert(created->window);
        const xcb_damage_damage_t damage = xcb_generate_id(FConnection.get());
        xcb_damage_create(FConnection.get(), damage, created->window,
                          XCB_DAMAGE_REPORT_LEVEL_NON_EMPTY);
        xcb_flush(FConnection.get());
        damages.push_back(damage);
      } else if (type == FDamageEvent) {
        elapsed = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
      }
    }
    for (const xcb_damage_damage_t damage : damages) xcb_damage_destroy(FConnection.get(), damage);
    xcb_flush(FConnection.get());
    kill(child, SIGTERM);
    int status = 0;
    waitpid(child, &status, 0);
    // Drain until every window of the program is destroyed, so the next start is alone.
    while (!windows.empty()) {
      Event event(xcb_wait_for_event(FConnection.get()));
      if (!event) break;
      if ((event->response_type & 0x7f) == XCB_DESTROY_NOTIFY) {
        windows.erase(reinterpret_cast<xcb_destroy_notify_event_t*>(event.get())->window);
      }
    }
    return elapsed;
  }

 private:
  // The next X event while the started program runs; a program that ends without drawing (a
  // second copy of the tool quits at once) or never draws is reported, not waited for.
  Event NextEventWhile(pid_t child, Clock::time_point start) {
    constexpr auto kPatience = std::chrono::seconds(60);
    for (;;) {
      if (Event event{xcb_poll_for_event(FConnection.get())}) return event;
      if (xcb_connection_has_error(FConnection.get()))
        throw std::runtime_error("lost the X display");
      int status = 0;
      if (waitpid(child, &status, WNOHANG) == child) {
        throw std::runtime_error("the program ended before it drew a window");
      }
      if (Clock::now() - start > kPatience) {
        kill(child, SIGKILL);
        waitpid(child, &status, 0);
        throw std::runtime_error("the program drew no window within a minute");
      }
      pollfd wait{xcb_get_file_descriptor(FConnection.get()), POLLIN, 0};
      poll(&wait, 1, 50);
    }
  }

  Connection FConnection;
  xcb_window_t FRoot = 0;
  uint8_t FDamageEvent = 0;
};

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t middle = values.size() / 2;
  return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

}  // namespace

int main(int argc, char* argv[]) {
  const int pairs = argc >= 3 ? std::atoi(argv[1]) : -1;
  if (pairs < 0 || argc != (pairs == 0 ? 3 : 4)) {
    std::fprintf(stderr, "usage: %s PAIRS PROGRAM BASELINE | %s 0 PROGRAM\n", argv[0], argv[0]);
    return 2;
  }
  const std::string program = argv[2];
  try {
    Observer observer;
    if (pairs == 0) {
      std::printf("first paint after %.2f ms\n", observer.TimeToFirstPaint(program));
      return 0;
    }
    const std::string baseline = argv[3];
    // Warm the file cache for both, then measure; the order alternates so that neither always
    // runs second.
    observer.TimeToFirstPaint(program);
    observer.TimeToFirstPaint(baseline);
    std::vector<double> programTimes, baselineTimes, ratios;
    for (int pair = 0; pair < pairs; ++pair) {
      double first = 0, second = 0;
      if (pair % 2 == 0) {
        first = observer.TimeToFirstPaint(program);
        second = observer.TimeToFirstPaint(baseline);
      } else {
        second = observer.TimeToFirstPaint(baseline);
        first = observer.TimeToFirstPaint(program);
      }
      programTimes.push_back(first);
      baselineTimes.push_back(second);
      ratios.push_back(first / second);
      std::printf("pair %2d: %7.2f ms  %7.2f ms  ratio %.3f\n", pair + 1, first, second,
                  first / second);
    }
    std::printf("median: program %.2f ms, baseline %.2f ms, median of paired ratios %.3f\n",
                Median(programTimes), Median(baselineTimes), Median(ratios));
  } catch (const std::exception& error) {
    std::fprintf(stderr, "bench_startup_process: %s\n", error.what());
    return 1;
  }
  return 0;
}
