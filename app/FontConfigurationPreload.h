#pragma once

#include <thread>

// Reading the machine's font configuration and font list is the largest single piece of a
// Qt program's start-up: about a quarter of this program's instructions to its first paint,
// all of it on the main thread, where it holds up laying out the window. It needs nothing
// from the display or the toolkit, so it is read on another core while the main thread
// loads the display plugin and connects to the X server.
//
// The toolkit later asks the same library for the same configuration and gets the one read
// here. Wait() before anything can ask for a font: the configuration library lets two
// threads read it at once, but each would read it in full.
class TFontConfigurationPreload {
 public:
  TFontConfigurationPreload();
  TFontConfigurationPreload(const TFontConfigurationPreload&) = delete;
  TFontConfigurationPreload& operator=(const TFontConfigurationPreload&) = delete;

  // Returns once the configuration is read; at once on later calls.
  void Wait();

 private:
  std::jthread FReader;
};
