#pragma once
// The two kinds of error that leave the camera component.

#include <stdexcept>
#include <string>

#include "platform/com/ComTypes.h"

// The component's own checks: a fixed English message.
class EFCameraError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A failed platform call: the platform's text for the result code, and the code.
class EOleSysError : public std::runtime_error {
 public:
  EOleSysError(const std::string& Message, HRESULT ErrorCode)
      : std::runtime_error(Message), FErrorCode(ErrorCode) {}
  HRESULT ErrorCode() const { return FErrorCode; }

 private:
  HRESULT FErrorCode;
};

// The image loader's: data that does not decode as the picture it claims to be.
class EInvalidGraphic : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
