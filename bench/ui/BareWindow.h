#pragma once
// The floor the window's start-up is measured against: a plain window as big as the program's
// main window, with as many widgets, plain labels in rows of six.
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>
#include <QWidget>
#include <memory>

inline std::unique_ptr<QWidget> MakeBareWindow(int widgets) {
  auto window = std::make_unique<QWidget>();
  window->resize(670, 740);
  auto* column = new QVBoxLayout(window.get());
  int made = 0;
  while (made < widgets) {
    auto* row = new QWidget(window.get());
    auto* line = new QHBoxLayout(row);
    ++made;
    for (int i = 0; i < 6 && made < widgets; ++i, ++made) {
      line->addWidget(new QLabel(QStringLiteral("Label"), row));
    }
    column->addWidget(row);
  }
  return window;
}
