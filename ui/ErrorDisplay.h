#pragma once

#include <QString>
#include <exception>
#include <utility>

class QWidget;

// The application's default error display: the error's message, with a full stop
// appended when its last character sorts after '.', in a modal box named
// "ApplicationErrorBox" with one "OK" button. The program carries on afterwards.
QString ApplicationErrorText(const QString& message);
void ShowApplicationError(QWidget* parent, const QString& message);

// Runs one event handler so that no exception leaves it into the Qt event loop: an
// error that the handler lets through ends in the default error display.
template <typename Handler>
void RunGuarded(QWidget* parent, Handler&& handler) noexcept {
  try {
    std::forward<Handler>(handler)();
  } catch (const std::exception& error) {
    ShowApplicationError(parent, QString::fromUtf8(error.what()));
  } catch (...) {
    ShowApplicationError(parent, QStringLiteral("Unknown error"));
  }
}
