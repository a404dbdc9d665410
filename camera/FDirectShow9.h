#pragma once
// The platform interfaces the camera component calls. They are declared by the platform, as
// an SDK declares them, so that the dependencies run one way (camera -> platform); the
// component includes them through this header of its own.

#include "platform/DirectShow9.h"
