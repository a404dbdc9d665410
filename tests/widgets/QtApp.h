#pragma once

// The widget tests share one QApplication, made before the first test and destroyed after the
// last one inside main (not by a static destructor, which would run after Qt's own clean-up).
// Linking QtApp.cpp is all it takes; this stays for tests that want to say they need it.
void EnsureQtApplication();
