// A settings file under the faults a real save meets: another save of the same file, a full
// disk, a stop signal or a kill part-way, a file replaced while it is loaded.
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/os/FileAccess.h"
#include "settings/CameraSettingsFile.h"
#include "tests/os/TempFolder.h"
#include "tests/os/Unprivileged.h"

namespace {

namespace fs = std::filesystem;
using korvane::os::testing::ReadBytes;
using korvane::os::testing::RunInChild;
using korvane::os::testing::TempFolder;
using korvane::os::testing::WriteBytes;

TCameraSettings Settings(double base, bool autos, int frequency) {
  TCameraSettings settings;
  for (std::size_t i = 0; i < kSettingsPropertyCount; ++i) {
    settings.Positions[i] = base + static_cast<double>(i);
    settings.Autos[i] = autos;
  }
  settings.PowerFrequency = frequency;
  return settings;
}
const TCameraSettings kOld = Settings(1, false, 0);
const TCameraSettings kNew = Settings(100, true, 1);

bool Same(const TCameraSettings& a, const TCameraSettings& b) {
  return a.Positions == b.Positions && a.Autos == b.Autos && a.PowerFrequency == b.PowerFrequency;
}

std::vector<std::string> Temporaries(const fs::path& folder) {
  std::vector<std::string> found;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.path().filename().native().find(".tmp-") != std::string::npos) {
      found.push_back(entry.path().filename());
    }
  }
  return found;
}

// Other cameras' sections, so that a save has a large file to copy (about 3 MB) and takes long
// enough to be caught part-way.
std::string OtherCameras(int count) {
  std::string text;
  for (int i = 0; i < count; ++i) {
    text += "[Other camera " + std::to_string(i) + "]\n";
    for (const auto key : kSettingsPropertyKeys)
      text += std::string(key) + "=" + std::to_string(i) + "\n";
  }
  return text;
}

// Saves the camera in a loop, in a child, until it is stopped.
pid_t SaveForever(const fs::path& file, const std::string& camera) {
  const pid_t child = ::fork();
  if (child == 0) {
    for (unsigned long i = 0;; ++i) CameraSettingsFile::Write(file, camera, i % 2 ? kOld : kNew);
  }
  return child;
}

bool WaitFor(const std::function<bool()>& condition) {
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(120);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > giveUp) return false;
    std::this_thread::yield();
  }
  return true;
}

// A small tmpfs on the folder, in a mount namespace of this test process's own; false where
// the system lets us have none.
bool MountSmallDisk(const fs::path& folder, std::size_t bytes) {
  static const bool ownMounts = ::geteuid() == 0 && ::unshare(CLONE_NEWNS) == 0 &&
                                ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
  const std::string options = "size=" + std::to_string(bytes);
  return ownMounts && ::mount("tmpfs", folder.c_str(), "tmpfs", 0, options.c_str()) == 0;
}

struct FaultCase {
  const char* name;
  // Does the fault to the file, which holds "Cam" with kOld and other cameras; gives the error
  // a save reported, or "" when none did.
  std::function<std::string(const fs::path& file)> fault;
  std::size_t otherCameras = 2;
  bool onSmallDisk = false;
};

std::string StopPartWay(const fs::path& file, int signal) {
  const pid_t saver = SaveForever(file, "Cam");
  const bool caught = WaitFor([&] { return !Temporaries(file.parent_path()).empty(); });
  ::kill(saver, signal);
  int status = 0;
  ::waitpid(saver, &status, 0);
  if (!caught) return "the save was never seen part-way";
  if (!WIFSIGNALED(status) || WTERMSIG(status) != signal)
    return "the saver did not end by the signal";
  return "";
}

TEST(SettingsFileSave, EachSectionIsWholeOldOrWholeNewAfterAFault) {
  const FaultCase cases[] = {
      {"another camera saved into the file at the same time",
       [](const fs::path& file) {
         std::vector<pid_t> savers;
         for (const char* camera : {"Cam", "Third", "Fourth"}) {
           const pid_t child = ::fork();
           if (child == 0) {
             for (int i = 0; i < 40; ++i)
               CameraSettingsFile::Write(file, camera, i % 2 ? kOld : kNew);
             ::_exit(0);
           }
           savers.push_back(child);
         }
         std::string failed;
         for (const pid_t saver : savers) {
           int status = 0;
           ::waitpid(saver, &status, 0);
           if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) failed = "a save failed";
         }
         return failed;
       }},
      {"a disk that fills up during the save",
       [](const fs::path& file) {
         // What is left of the disk holds less than another copy of the file.
         const auto free = fs::space(file.parent_path()).available;
         WriteBytes(file.parent_path() / "filler", std::string(free - 4096, 'x'));
         try {
           CameraSettingsFile::Write(file, "Cam", kNew);
         } catch (const ESettingsFileError& error) {
           return std::string(error.what());
         }
         return std::string("the save reported success");
       },
       40, true},
      {"SIGTERM part-way", [](const fs::path& file) { return StopPartWay(file, SIGTERM); }, 5000},
      {"SIGINT part-way", [](const fs::path& file) { return StopPartWay(file, SIGINT); }, 5000},
      {"SIGHUP part-way", [](const fs::path& file) { return StopPartWay(file, SIGHUP); }, 5000},
      {"SIGKILL part-way, then the next save",
       [](const fs::path& file) {
         std::string stopped = StopPartWay(file, SIGKILL);
         // A killed save cannot clean up; the next save of the file does.
         CameraSettingsFile::Write(file, "Third", kOld);
         return stopped;
       },
       5000},
  };
  for (const FaultCase& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder scratch;
    fs::path folder = scratch.Path();
    if (c.onSmallDisk) {
      folder = scratch / "small-disk";
      fs::create_directory(folder);
      if (!MountSmallDisk(folder, 256 * 1024)) {
        std::printf("[  SKIPPED ] %s: no tmpfs can be mounted here\n", c.name);
        continue;
      }
    }
    const fs::path file = folder / "cameras.kcs";
    WriteBytes(file, OtherCameras(c.otherCameras));
    CameraSettingsFile::Write(file, "Cam", kOld);
    const std::string before = ReadBytes(file);

    const std::string error = c.fault(file);
    if (c.onSmallDisk) {
      EXPECT_NE(error.find("Unable to write to " + file.string() + ": No space left on device"),
                std::string::npos)
          << error;
      EXPECT_EQ(ReadBytes(file), before);
    } else {
      EXPECT_EQ(error, "");
    }
    for (const std::string camera : {"Cam", "Third", "Fourth"}) {
      const TSettingsFileSection section = CameraSettingsFile::Load(file, camera);
      if (!section.SectionFound) continue;
      EXPECT_TRUE(Same(section.Settings, kOld) || Same(section.Settings, kNew)) << camera;
    }
    EXPECT_TRUE(CameraSettingsFile::Load(file, "Cam").SectionFound);
    // The other cameras' sections are as they were, whatever happened to this one.
    const TSettingsFileSection last =
        CameraSettingsFile::Load(file, "Other camera " + std::to_string(c.otherCameras - 1));
    EXPECT_EQ(last.Settings.Positions[0], static_cast<double>(c.otherCameras - 1));
    EXPECT_EQ(Temporaries(folder), std::vector<std::string>{});
    if (c.onSmallDisk) ::umount2(folder.c_str(), MNT_DETACH);
  }
}

// Every save of one file from one process after the other must keep every section: a save of
// 35 keys one by one, without a lock, lost keys of another camera's save in between.
TEST(SettingsFileSave, ConcurrentSavesOfTwoCamerasBothEndWhole) {
  TempFolder folder;
  const fs::path file = folder / "shared.kcs";
  const pid_t first = ::fork();
  if (first == 0) {
    CameraSettingsFile::Write(file, "Camera 0", kNew);
    ::_exit(0);
  }
  CameraSettingsFile::Write(file, "Camera 1", kOld);
  ::waitpid(first, nullptr, 0);
  EXPECT_TRUE(Same(CameraSettingsFile::Load(file, "Camera 0").Settings, kNew));
  EXPECT_TRUE(Same(CameraSettingsFile::Load(file, "Camera 1").Settings, kOld));
}

// A file replaced between two reads of one load would mix two versions, or find the section in
// one and read the defaults from the other: one load reads the file once.
TEST(SettingsFileLoad, AFileReplacedDuringTheLoadGivesOneVersion) {
  TempFolder folder;
  const fs::path file = folder / "swapped.kcs";
  const fs::path newer = folder / "newer.kcs";
  const fs::path empty = folder / "empty.kcs";
  CameraSettingsFile::Write(file, "Cam", kOld);
  CameraSettingsFile::Write(newer, "Cam", kNew);
  WriteBytes(empty, "");
  // After every read the file is replaced: by the newer version, then by an empty file.
  int reads = 0;
  korvane::os::SetAfterReadHook([&](const fs::path& read) {
    if (read != file) return;
    ++reads;
    fs::copy_file(reads == 1 ? newer : empty, folder / "next",
                  fs::copy_options::overwrite_existing);
    fs::rename(folder / "next", file);
  });
  const TSettingsFileSection first = CameraSettingsFile::Load(file, "Cam");
  const TSettingsFileSection second = CameraSettingsFile::Load(file, "Cam");
  const TSettingsFileSection third = CameraSettingsFile::Load(file, "Cam");
  korvane::os::SetAfterReadHook(nullptr);
  EXPECT_EQ(reads, 3);
  EXPECT_TRUE(first.SectionFound && Same(first.Settings, kOld));
  EXPECT_TRUE(second.SectionFound && Same(second.Settings, kNew));
  EXPECT_FALSE(third.SectionFound);
}

struct MessageCase {
  const char* name;
  std::function<fs::path(const fs::path& folder)> make;  // the file to save into
  std::string expected;  // after "Unable to write to FILE: "; {} is the scratch folder
  bool unprivileged = false;
};

// What a save that fails says, and what a save through a dangling link does.
TEST(SettingsFileSave, AFailedSaveSaysWhy) {
  const MessageCase cases[] = {
      {"a folder without write permission",
       [](const fs::path& folder) {
         fs::create_directory(folder / "locked");
         fs::permissions(folder, fs::perms::all, fs::perm_options::add);
         fs::permissions(folder / "locked", fs::perms::owner_read | fs::perms::owner_exec |
                                                fs::perms::group_read | fs::perms::others_read |
                                                fs::perms::group_exec | fs::perms::others_exec);
         return folder / "locked" / "s.kcs";
       },
       "cannot create a file in its folder \"{}/locked\": Permission denied", true},
      {"a folder in the path of the file",
       [](const fs::path& folder) {
         fs::create_directory(folder / "s.kcs");
         return folder / "s.kcs";
       },
       "it is not a regular file"},
      {"a file over the size cap",
       [](const fs::path& folder) {
         WriteBytes(folder / "s.kcs", "[Cam]\nBrightness=5\n" + std::string(4 << 20, ';'));
         return folder / "s.kcs";
       },
       "it is larger than a settings file can be (4 MiB)"},
      {"a file that the save would take over the cap",
       [](const fs::path& folder) {
         WriteBytes(folder / "s.kcs", "[Other]\nKey=" + std::string((4 << 20) - 100, 'x') + "\n");
         return folder / "s.kcs";
       },
       "the saved file would be larger than a settings file can be (4 MiB)"},
      {"a link that points at itself",
       [](const fs::path& folder) {
         fs::create_symlink("s.kcs", folder / "s.kcs");
         return folder / "s.kcs";
       },
       "cannot follow the link: Too many levels of symbolic links"},
  };
  for (const MessageCase& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder scratch;
    const fs::path file = c.make(scratch.Path());
    std::error_code unusable;
    const bool regular = fs::is_regular_file(file, unusable);
    const std::string before = regular ? ReadBytes(file) : std::string();
    std::string expected = c.expected;
    if (const auto at = expected.find("{}"); at != std::string::npos) {
      expected.replace(at, 2, scratch.Path().string());
    }
    const int result = RunInChild(
        [&] {
          try {
            CameraSettingsFile::Write(file, "Cam", kNew);
          } catch (const ESettingsFileError& error) {
            const std::string said = error.what();
            if (said == "Unable to write to " + file.string() + ": " + expected) return 1;
            std::fprintf(stderr, "said: %s\n", said.c_str());
            return 2;
          }
          return 0;
        },
        c.unprivileged);
    EXPECT_EQ(result, 1);
    if (regular) {
      EXPECT_EQ(ReadBytes(file), before);
    }
    EXPECT_EQ(Temporaries(file.parent_path()), std::vector<std::string>{});
  }
  // A dangling link is written through: the file it names is made, and the link stays.
  TempFolder scratch;
  fs::create_directory(scratch / "real");
  fs::create_symlink("real/target.kcs", scratch / "s.kcs");
  CameraSettingsFile::Write(scratch / "s.kcs", "Cam", kNew);
  EXPECT_TRUE(fs::is_symlink(scratch / "s.kcs"));
  EXPECT_TRUE(
      Same(CameraSettingsFile::Load(scratch / "real" / "target.kcs", "Cam").Settings, kNew));
}

// A load says why a file it cannot read is not loaded, rather than loading the defaults.
TEST(SettingsFileLoad, AnUnreadableFileIsReportedNotLoadedAsDefaults) {
  TempFolder folder;
  const fs::path huge = folder / "huge.kcs";
  WriteBytes(huge, "[Cam]\nBrightness=5\n" + std::string(4 << 20, ';'));
  const struct {
    fs::path file;
    std::string why;
  } cases[] = {{huge, "it is larger than a settings file can be (4 MiB)"},
               {folder.Path(), "it is not a regular file"}};
  for (const auto& c : cases) {
    try {
      CameraSettingsFile::Load(c.file, "Cam");
      ADD_FAILURE() << c.file << " loaded";
    } catch (const ESettingsFileError& error) {
      EXPECT_EQ(std::string(error.what()), "Unable to read " + c.file.string() + ": " + c.why);
    }
  }
  const TSettingsFileSection missing = CameraSettingsFile::Load(folder / "missing.kcs", "Cam");
  EXPECT_FALSE(missing.FileExists);
  EXPECT_FALSE(missing.SectionFound);
}

}  // namespace
