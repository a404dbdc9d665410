#include "app/FontConfigurationPreload.h"

#include <fontconfig/fontconfig.h>

// A failed read is not reported here: the toolkit reads the configuration again when it
// finds none, and reports what it finds then.
TFontConfigurationPreload::TFontConfigurationPreload() : FReader([] { FcInit(); }) {}

void TFontConfigurationPreload::Wait() {
  if (FReader.joinable()) FReader.join();
}
