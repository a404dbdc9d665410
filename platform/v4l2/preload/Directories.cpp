// Folder listings: the emulated folders (udev's /dev/v4l, the Video4Linux2 class in sysfs)
// are listed from the emulated kernel, and /dev shows the emulated device nodes in place of
// the machine's own. Every other folder is the C library's.

#include <dirent.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/v4l2/preload/Emulation.h"
#include "platform/v4l2/preload/NextCall.h"

#define KORVANE_EXPORT extern "C" __attribute__((visibility("default")))

namespace korvane::v4l2::preload {
namespace {

// A listing handed to the program as its DIR*.
struct Listing {
  DIR* real = nullptr;  // /dev: the machine's entries, without its video nodes
  std::vector<std::pair<std::string, unsigned char>> names;
  std::size_t next = 0;
  dirent entry{};
  dirent64 entry64{};
};

struct Listings {
  std::mutex mutex;
  std::set<const void*> open;
};

// Until a program lists an emulated folder, its own listings pass without a lock.
std::atomic<bool> anyListing{false};

Listings& TheListings() {
  static Listings* listings = new Listings;
  return *listings;
}

bool Ours(const void* directory) {
  if (!directory || !anyListing.load(std::memory_order_acquire)) return false;
  std::lock_guard lock(TheListings().mutex);
  return TheListings().open.contains(directory);
}

bool IsVideoNode(const char* name) {
  return std::strncmp(name, "video", 5) == 0 && name[5] >= '0' && name[5] <= '9';
}

template <class Entry>
void FillEntry(Entry& entry, const std::string& name, unsigned char type, std::size_t index) {
  std::memset(&entry, 0, sizeof(entry));
  entry.d_ino = 1000 + index;
  entry.d_off = static_cast<decltype(entry.d_off)>(index + 1);
  entry.d_reclen = sizeof(entry);
  entry.d_type = type;
  std::strncpy(entry.d_name, name.c_str(), sizeof(entry.d_name) - 1);
}

// The next entry of a listing, the machine's first; nullptr at the end.
template <class Entry, class Next>
Entry* Read(Listing& listing, Entry& slot, Next readReal) {
  while (listing.real) {
    errno = 0;
    Entry* real = readReal(listing.real);
    if (!real) break;
    if (!IsVideoNode(real->d_name)) return real;
  }
  if (listing.next >= listing.names.size()) return nullptr;
  const auto& [name, type] = listing.names[listing.next];
  FillEntry(slot, name, type, listing.next);
  ++listing.next;
  return &slot;
}

DIR* Hand(Listing* listing) {
  std::lock_guard lock(TheListings().mutex);
  TheListings().open.insert(listing);
  anyListing.store(true, std::memory_order_release);
  return reinterpret_cast<DIR*>(listing);
}

}  // namespace
}  // namespace korvane::v4l2::preload

using namespace korvane::v4l2::preload;

KORVANE_EXPORT DIR* opendir(const char* path) {
  const bool dev = (std::strcmp(path, "/dev") == 0 || std::strcmp(path, "/dev/") == 0);
  Emulation* emulation = (dev || EmulatedPath(path)) ? Emulation::Get() : nullptr;
  if (!emulation) return KORVANE_NEXT(opendir)(path);
  auto listing = std::make_unique<Listing>();
  if (dev) {
    listing->real = KORVANE_NEXT(opendir)(path);
    if (!listing->real) return nullptr;
    if (const auto nodes = emulation->List("/sys/class/video4linux")) {
      for (const std::string& node : *nodes) listing->names.emplace_back(node, DT_CHR);
      struct stat status {};
      if (!nodes->empty() && KORVANE_NEXT(stat)("/dev/v4l", &status) != 0) {
        listing->names.emplace_back("v4l", DT_DIR);
      }
    }
  } else {
    const PathEntry entry = emulation->Lookup(path, true);
    if (entry.kind != PathEntry::Kind::kDirectory) {
      errno = entry.kind == PathEntry::Kind::kMissing ? ENOENT : ENOTDIR;
      return nullptr;
    }
    // sysfs has every node's folder as a link; udev's folders hold links, /dev/v4l folders.
    const std::string folder = path;
    const auto names = emulation->List(folder);
    const unsigned char type =
        folder.rfind("/dev/v4l", 0) == 0 && folder.size() <= 9 ? DT_DIR : DT_LNK;
    listing->names = {{".", DT_DIR}, {"..", DT_DIR}};
    if (names) {
      for (const std::string& name : *names) listing->names.emplace_back(name, type);
    }
  }
  return Hand(listing.release());
}

KORVANE_EXPORT dirent* readdir(DIR* directory) {
  if (!Ours(directory)) return KORVANE_NEXT(readdir)(directory);
  auto& listing = *reinterpret_cast<Listing*>(directory);
  return Read(listing, listing.entry, KORVANE_NEXT(readdir));
}

KORVANE_EXPORT dirent64* readdir64(DIR* directory) {
  if (!Ours(directory)) return KORVANE_NEXT(readdir64)(directory);
  auto& listing = *reinterpret_cast<Listing*>(directory);
  return Read(listing, listing.entry64, KORVANE_NEXT(readdir64));
}

KORVANE_EXPORT int closedir(DIR* directory) {
  if (!Ours(directory)) return KORVANE_NEXT(closedir)(directory);
  {
    std::lock_guard lock(TheListings().mutex);
    TheListings().open.erase(directory);
  }
  std::unique_ptr<Listing> listing(reinterpret_cast<Listing*>(directory));
  return listing->real ? KORVANE_NEXT(closedir)(listing->real) : 0;
}

KORVANE_EXPORT void rewinddir(DIR* directory) {
  if (!Ours(directory)) {
    KORVANE_NEXT(rewinddir)(directory);
    return;
  }
  auto& listing = *reinterpret_cast<Listing*>(directory);
  if (listing.real) KORVANE_NEXT(rewinddir)(listing.real);
  listing.next = 0;
}

KORVANE_EXPORT int dirfd(DIR* directory) {
  if (!Ours(directory)) return KORVANE_NEXT(dirfd)(directory);
  auto& listing = *reinterpret_cast<Listing*>(directory);
  if (listing.real) return KORVANE_NEXT(dirfd)(listing.real);
  errno = ENOTSUP;
  return -1;
}
