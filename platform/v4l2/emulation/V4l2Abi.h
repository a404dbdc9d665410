#pragma once
// The kernel's own Video4Linux2 structures, checked against the sizes the kernel expects on
// x86-64, so that a header that does not match the running kernel fails the build instead of
// corrupting a caller's memory.

#include <linux/videodev2.h>

namespace korvane::v4l2::emulation {

#if defined(__x86_64__)
static_assert(sizeof(v4l2_capability) == 104);
static_assert(sizeof(v4l2_queryctrl) == 68);
static_assert(sizeof(v4l2_query_ext_ctrl) == 232);
static_assert(sizeof(v4l2_querymenu) == 44);
static_assert(sizeof(v4l2_control) == 8);
static_assert(sizeof(v4l2_ext_control) == 20);
static_assert(sizeof(v4l2_ext_controls) == 32);
static_assert(sizeof(v4l2_fmtdesc) == 64);
static_assert(sizeof(v4l2_frmsizeenum) == 44);
static_assert(sizeof(v4l2_frmivalenum) == 52);
static_assert(sizeof(v4l2_format) == 208);
static_assert(sizeof(v4l2_streamparm) == 204);
static_assert(sizeof(v4l2_requestbuffers) == 20);
static_assert(sizeof(v4l2_buffer) == 88);
static_assert(sizeof(v4l2_event_ctrl) == 40);
static_assert(sizeof(v4l2_event) == 136);
static_assert(sizeof(v4l2_event_subscription) == 32);
#endif

}  // namespace korvane::v4l2::emulation
