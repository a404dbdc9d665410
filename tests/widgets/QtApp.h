#pragma once

// The widget tests share one QApplication for the whole test binary; call this first.
void EnsureQtApplication();
