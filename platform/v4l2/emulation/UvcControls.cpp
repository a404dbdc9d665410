#include "platform/v4l2/emulation/UvcControls.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <tuple>

namespace korvane::v4l2::emulation {
namespace {

constexpr std::uint32_t kClassesWithControls[] = {V4L2_CTRL_CLASS_USER, V4L2_CTRL_CLASS_CAMERA};

std::string_view ClassName(std::uint32_t classId) {
  return V4L2_CTRL_ID2WHICH(classId) == V4L2_CTRL_CLASS_USER ? "User Controls" : "Camera Controls";
}

// Names are cut to the 31 bytes the kernel's fields hold; the field may sit in a packed struct.
void CopyName(void* field, std::size_t size, std::string_view name) {
  std::memset(field, 0, size);
  std::memcpy(field, name.data(), std::min(name.size(), size - 1));
}

bool Offers(const ControlDescription& control, std::int64_t item) {
  return item >= 0 && item < 64 && ((control.menuItems >> item) & 1) != 0;
}

}  // namespace

UvcControls::UvcControls(std::vector<ControlDescription>& controls, Firmware& firmware)
    : controls_(controls), firmware_(firmware), cache_(controls.size()) {
  RebuildClasses();
}

void UvcControls::RebuildClasses() {
  classes_.clear();
  for (const std::uint32_t klass : kClassesWithControls) {
    if (std::any_of(controls_.begin(), controls_.end(), [&](const ControlDescription& c) {
          return V4L2_CTRL_ID2WHICH(c.id) == klass;
        })) {
      classes_.push_back(klass | 1);
    }
  }
}

ControlDescription* UvcControls::Find(std::uint32_t id) {
  const auto found = std::lower_bound(
      controls_.begin(), controls_.end(), id,
      [](const ControlDescription& c, std::uint32_t wanted) { return c.id < wanted; });
  return found != controls_.end() && found->id == id ? &*found : nullptr;
}

const ControlDescription* UvcControls::Find(std::uint32_t id) const {
  return const_cast<UvcControls*>(this)->Find(id);
}

std::size_t UvcControls::IndexOf(const ControlDescription& control) const {
  return static_cast<std::size_t>(&control - controls_.data());
}

int UvcControls::Populate(const ControlDescription& control) {
  Cache& cache = cache_[IndexOf(control)];
  if (cache.populated) return 0;
  if (const int error = firmware_.Transfer(control.id, Call::kQuery)) return error;
  cache.populated = true;
  return 0;
}

// A control the camera changes by itself is read from it every time; others once.
int UvcControls::Load(const ControlDescription& control, std::int32_t* value) {
  Cache& cache = cache_[IndexOf(control)];
  if (!cache.loaded || control.autoUpdate) {
    if (const int error = firmware_.Transfer(control.id, Call::kGet)) return error;
    cache.loaded = true;
  }
  *value = control.value;
  return 0;
}

int UvcControls::Read(std::uint32_t id, std::int32_t* value) {
  const ControlDescription* control = Find(id);
  if (!control) return EINVAL;
  if (control->writeOnly) {
    *value = 0;
    return EACCES;
  }
  return Load(*control, value);
}

std::uint32_t UvcControls::StaticFlags(const ControlDescription& control) const {
  std::uint32_t flags = 0;
  if (control.readOnly) flags |= V4L2_CTRL_FLAG_READ_ONLY;
  if (control.writeOnly || control.type == V4L2_CTRL_TYPE_BUTTON) {
    flags |= V4L2_CTRL_FLAG_WRITE_ONLY;
  }
  // No V4L2_CTRL_FLAG_UPDATE on a master: that is the control framework's auto clusters,
  // which the UVC driver does not use (its masters are plain mappings).
  return flags;
}

bool UvcControls::Inactive(const ControlDescription& control) const {
  const ControlDescription* master = control.master ? Find(control.master) : nullptr;
  return master && master->value != control.masterManual;
}

int UvcControls::Describe(std::uint32_t requestId, Info* info) {
  const bool next = (requestId & V4L2_CTRL_FLAG_NEXT_CTRL) != 0;
  const std::uint32_t id = requestId & V4L2_CTRL_ID_MASK;
  const ControlDescription* control = nullptr;
  std::uint32_t classId = 0;
  if (next) {
    // The walk reports each class before its first control.
    const auto after = std::upper_bound(
        controls_.begin(), controls_.end(), id,
        [](std::uint32_t wanted, const ControlDescription& c) { return wanted < c.id; });
    if (after != controls_.end()) control = &*after;
    const auto klass = std::upper_bound(classes_.begin(), classes_.end(), id);
    if (klass != classes_.end() && (!control || *klass < control->id)) classId = *klass;
  } else if (std::binary_search(classes_.begin(), classes_.end(), id)) {
    classId = id;
  } else {
    control = Find(id);
  }

  *info = Info{};
  if (classId != 0) {
    info->id = classId;
    info->type = V4L2_CTRL_TYPE_CTRL_CLASS;
    info->name = ClassName(classId);
    info->flags = V4L2_CTRL_FLAG_READ_ONLY | V4L2_CTRL_FLAG_WRITE_ONLY;
    return 0;
  }
  if (!control) return EINVAL;
  if (const int error = Populate(*control)) return error;

  info->id = control->id;
  info->type = control->type;
  info->name = control->name;
  info->flags = StaticFlags(*control);
  if (control->master) {
    // The driver asks the camera for the companion's mode to tell whether this one is active.
    if (const ControlDescription* master = Find(control->master)) {
      std::int32_t mode = 0;
      if (const int error = Load(*master, &mode)) return error;
      if (mode != control->masterManual) info->flags |= V4L2_CTRL_FLAG_INACTIVE;
    }
  }
  switch (control->type) {
    case V4L2_CTRL_TYPE_BUTTON:
      break;
    case V4L2_CTRL_TYPE_BOOLEAN:
      info->maximum = 1;
      info->step = 1;
      info->defaultValue = control->defaultValue;
      break;
    case V4L2_CTRL_TYPE_MENU:
      info->minimum = control->minimum;
      info->maximum = control->maximum;
      info->step = 1;
      info->defaultValue = control->defaultValue;
      break;
    default:
      info->minimum = control->minimum;
      info->maximum = control->maximum;
      info->step = control->step;
      info->defaultValue = control->defaultValue;
      break;
  }
  return 0;
}

int UvcControls::Query(v4l2_queryctrl& query) {
  Info info;
  if (const int error = Describe(query.id, &info)) return error;
  query = v4l2_queryctrl{};
  query.id = info.id;
  query.type = info.type;
  CopyName(query.name, sizeof(query.name), info.name);
  query.minimum = static_cast<std::int32_t>(info.minimum);
  query.maximum = static_cast<std::int32_t>(info.maximum);
  query.step = static_cast<std::int32_t>(info.step);
  query.default_value = static_cast<std::int32_t>(info.defaultValue);
  query.flags = info.flags;
  return 0;
}

int UvcControls::QueryExtended(v4l2_query_ext_ctrl& query) {
  Info info;
  if (const int error = Describe(query.id, &info)) return error;
  query = v4l2_query_ext_ctrl{};
  query.id = info.id;
  query.type = info.type;
  CopyName(query.name, sizeof(query.name), info.name);
  query.minimum = info.minimum;
  query.maximum = info.maximum;
  query.step = static_cast<std::uint64_t>(info.step);
  query.default_value = info.defaultValue;
  query.flags = info.flags;
  query.elem_size = sizeof(std::int32_t);
  query.elems = 1;
  return 0;
}

int UvcControls::QueryMenu(v4l2_querymenu& menu) {
  const ControlDescription* control = Find(menu.id);
  if (!control || control->type != V4L2_CTRL_TYPE_MENU || !Offers(*control, menu.index)) {
    return EINVAL;
  }
  if (const int error = Populate(*control)) return error;
  const std::uint32_t id = menu.id;
  const std::uint32_t index = menu.index;
  menu = v4l2_querymenu{};
  menu.id = id;
  menu.index = index;
  CopyName(menu.name, sizeof(menu.name),
           index < control->menuNames.size() ? control->menuNames[index] : "");
  return 0;
}

int UvcControls::CheckAccess(const v4l2_ext_controls& request, Access access,
                             std::uint32_t* failed) {
  for (std::uint32_t i = 0; i < request.count; ++i) {
    *failed = i;
    const std::uint32_t id = request.controls[i].id;
    if (std::binary_search(classes_.begin(), classes_.end(), id)) return EACCES;
    const ControlDescription* control = Find(id);
    if (!control) return EINVAL;
    const bool writeOnly = control->writeOnly || control->type == V4L2_CTRL_TYPE_BUTTON;
    if (access == Access::kGet ? writeOnly : control->readOnly) return EACCES;
    if (access != Access::kSet || !control->master || !firmware_.DriverChecksInactive()) continue;
    const ControlDescription* master = Find(control->master);
    if (!master) continue;
    // The companion switched to manual in the same request makes the write allowed; the last
    // value given for it counts.
    bool inRequest = false;
    for (std::uint32_t j = request.count; j-- > 0;) {
      if (request.controls[j].id == master->id) {
        if (request.controls[j].value != control->masterManual) return EACCES;
        inRequest = true;
        break;
      }
    }
    if (inRequest) continue;
    std::int32_t mode = 0;
    if (Load(*master, &mode) == 0 && mode != control->masterManual) return EACCES;
  }
  return 0;
}

int UvcControls::Get(v4l2_ext_controls& request) {
  std::uint32_t failed = 0;
  if (const int error = CheckAccess(request, Access::kGet, &failed)) {
    request.error_idx = request.count;
    return error;
  }
  for (std::uint32_t i = 0; i < request.count; ++i) {
    v4l2_ext_control& wanted = request.controls[i];
    const ControlDescription* control = Find(wanted.id);
    int error = 0;
    if (request.which == V4L2_CTRL_WHICH_DEF_VAL) {
      error = Populate(*control);
      if (!error) wanted.value = control->defaultValue;
    } else {
      std::int32_t value = 0;
      error = Load(*control, &value);
      if (!error) wanted.value = value;
    }
    if (error) {
      request.error_idx = i;
      return error;
    }
  }
  request.error_idx = 0;
  return 0;
}

// The value the driver would send: integers rounded to the step from the minimum and kept in
// the range, booleans 0 or 1, menu items only those the camera offers.
int UvcControls::Validate(ControlDescription& control, std::int32_t* value) {
  switch (control.type) {
    case V4L2_CTRL_TYPE_INTEGER: {
      if (const int error = Populate(control)) return error;
      const std::int64_t step = control.step > 0 ? control.step : 1;
      std::int64_t wanted = *value;
      if (wanted > control.minimum) {
        wanted = control.minimum + (wanted - control.minimum + step / 2) / step * step;
      }
      *value = static_cast<std::int32_t>(
          std::clamp<std::int64_t>(wanted, control.minimum, control.maximum));
      return 0;
    }
    case V4L2_CTRL_TYPE_BOOLEAN:
      *value = *value != 0 ? 1 : 0;
      return 0;
    case V4L2_CTRL_TYPE_MENU:
      if (*value < control.minimum || *value > control.maximum) return ERANGE;
      if (const int error = Populate(control)) return error;
      return Offers(control, *value) ? 0 : EINVAL;
    default:
      return 0;
  }
}

int UvcControls::Set(v4l2_ext_controls& request, bool commit, std::vector<ControlChange>* changes) {
  std::uint32_t failed = 0;
  if (const int error = CheckAccess(request, commit ? Access::kSet : Access::kTry, &failed)) {
    // The driver reports where a trial failed, but a write as failing before any change.
    request.error_idx = commit ? request.count : failed;
    return error;
  }
  std::vector<std::pair<std::size_t, std::int32_t>> pending;  // control index, value
  for (std::uint32_t i = 0; i < request.count; ++i) {
    v4l2_ext_control& wanted = request.controls[i];
    ControlDescription& control = *Find(wanted.id);
    std::int32_t value = wanted.value;
    if (const int error = Validate(control, &value)) {
      request.error_idx = commit ? request.count : i;
      return error;
    }
    wanted.value = value;
    pending.emplace_back(IndexOf(control), value);
  }
  request.error_idx = 0;
  if (!commit) return 0;
  if (const int error = Commit(request, std::move(pending))) return error;

  for (std::uint32_t i = 0; i < request.count && changes; ++i) {
    const ControlDescription& control = *Find(request.controls[i].id);
    const auto inRequest = [&](std::uint32_t id) {
      for (std::uint32_t j = 0; j < request.count; ++j) {
        if (request.controls[j].id == id) return true;
      }
      return false;
    };
    for (const ControlDescription& slave : controls_) {
      if (slave.master == control.id && !inRequest(slave.id)) {
        changes->push_back({slave.id, V4L2_EVENT_CTRL_CH_FLAGS | V4L2_EVENT_CTRL_CH_VALUE, true});
      }
    }
    std::uint32_t changed = V4L2_EVENT_CTRL_CH_VALUE;
    if (control.master && inRequest(control.master)) changed |= V4L2_EVENT_CTRL_CH_FLAGS;
    changes->push_back({control.id, changed, (changed & V4L2_EVENT_CTRL_CH_FLAGS) != 0});
  }
  return 0;
}

// Sends the request to the camera unit by unit, each unit's controls in index order. A control
// the camera refuses stops the commit there: what was sent before it stays, the rest is not
// sent.
int UvcControls::Commit(v4l2_ext_controls& request,
                        std::vector<std::pair<std::size_t, std::int32_t>> pending) {
  std::map<std::size_t, std::int32_t> last;  // a control given twice is sent once, last value
  for (const auto& [index, value] : pending) last[index] = value;
  std::vector<std::pair<std::size_t, std::int32_t>> order(last.begin(), last.end());
  std::sort(order.begin(), order.end(), [&](const auto& a, const auto& b) {
    const ControlDescription& x = controls_[a.first];
    const ControlDescription& y = controls_[b.first];
    return std::tie(x.unit, x.unitIndex, x.id) < std::tie(y.unit, y.unitIndex, y.id);
  });
  for (const auto& [index, value] : order) {
    ControlDescription& control = controls_[index];
    const int error = firmware_.RefusesInactiveWrites() && Inactive(control)
                          ? firmware_.WrongState()
                          : firmware_.Transfer(control.id, Call::kSet);
    if (error) {
      request.error_idx = request.count;
      for (std::uint32_t i = 0; i < request.count; ++i) {
        if (request.controls[i].id == control.id) {
          request.error_idx = i;
          break;
        }
      }
      return error;
    }
    if (control.type == V4L2_CTRL_TYPE_BUTTON) continue;
    control.value = value;
    cache_[index].loaded = !control.autoUpdate;
  }
  return 0;
}

bool UvcControls::EventPayload(std::uint32_t id, v4l2_event_ctrl* payload) const {
  const ControlDescription* control = Find(id);
  if (!control) return false;
  *payload = v4l2_event_ctrl{};
  payload->type = control->type;
  payload->value = control->writeOnly ? 0 : control->value;
  payload->flags = StaticFlags(*control) | (Inactive(*control) ? V4L2_CTRL_FLAG_INACTIVE : 0);
  if (control->type != V4L2_CTRL_TYPE_BUTTON) {
    payload->minimum = control->type == V4L2_CTRL_TYPE_BOOLEAN ? 0 : control->minimum;
    payload->maximum = control->type == V4L2_CTRL_TYPE_BOOLEAN ? 1 : control->maximum;
    payload->step = control->type == V4L2_CTRL_TYPE_INTEGER ? control->step : 1;
    payload->default_value = control->defaultValue;
  }
  return true;
}

void UvcControls::ResetCache() {
  cache_.assign(controls_.size(), Cache{});
}

std::vector<std::uint32_t> UvcControls::PopulatedIds() const {
  std::vector<std::uint32_t> ids;
  for (std::size_t i = 0; i < controls_.size() && i < cache_.size(); ++i) {
    if (cache_[i].populated) ids.push_back(controls_[i].id);
  }
  return ids;
}

std::vector<std::uint32_t> UvcControls::LoadedIds() const {
  std::vector<std::uint32_t> ids;
  for (std::size_t i = 0; i < controls_.size() && i < cache_.size(); ++i) {
    if (cache_[i].loaded) ids.push_back(controls_[i].id);
  }
  return ids;
}

void UvcControls::Adopt(const std::vector<std::uint32_t>& populated,
                        const std::vector<std::uint32_t>& loaded) {
  ResetCache();
  RebuildClasses();
  for (const std::uint32_t id : populated) {
    if (const ControlDescription* control = Find(id)) cache_[IndexOf(*control)].populated = true;
  }
  for (const std::uint32_t id : loaded) {
    if (const ControlDescription* control = Find(id)) cache_[IndexOf(*control)].loaded = true;
  }
}

}  // namespace korvane::v4l2::emulation
