// A program's own files, folders, links, pipes and sockets behave the same with the preload
// library loaded: every kind of call the library stands in front of, on descriptors and paths
// that are not emulated cameras. The same test runs without the library and with it.

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

class PassThrough : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/korvane-passthrough-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    folder_ = pattern;
    file_ = folder_ + "/data.txt";
    const int fd = ::open(file_.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0640);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "hello\n", 6), 6);
    ASSERT_EQ(::close(fd), 0);
    ASSERT_EQ(::symlink("data.txt", (folder_ + "/link").c_str()), 0);
  }
  void TearDown() override { fs::remove_all(folder_); }

  std::string folder_;
  std::string file_;
};

TEST_F(PassThrough, OpensReadsWritesAndClosesItsOwnFiles) {
  const int fd = ::openat(AT_FDCWD, file_.c_str(), O_RDWR | O_APPEND);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(::write(fd, "more\n", 5), 5);
  ASSERT_EQ(::lseek(fd, 0, SEEK_SET), 0);
  char text[32] = {};
  EXPECT_EQ(::read(fd, text, sizeof(text)), 11);
  EXPECT_STREQ(text, "hello\nmore\n");
  EXPECT_EQ(::close(fd), 0);
  EXPECT_EQ(::close(fd), -1);
  EXPECT_EQ(errno, EBADF);
  EXPECT_EQ(::open((folder_ + "/missing").c_str(), O_RDONLY), -1);
  EXPECT_EQ(errno, ENOENT);
  FILE* file = std::fopen(file_.c_str(), "r");
  ASSERT_NE(file, nullptr);
  EXPECT_NE(std::fgets(text, sizeof(text), file), nullptr);
  EXPECT_STREQ(text, "hello\n");
  std::fclose(file);
}

TEST_F(PassThrough, StatsItsOwnFilesAndLinks) {
  struct stat status {};
  ASSERT_EQ(::stat(file_.c_str(), &status), 0);
  EXPECT_TRUE(S_ISREG(status.st_mode));
  EXPECT_EQ(status.st_size, 6);
  ASSERT_EQ(::lstat((folder_ + "/link").c_str(), &status), 0);
  EXPECT_TRUE(S_ISLNK(status.st_mode));
  const int fd = ::open(file_.c_str(), O_RDONLY);
  ASSERT_EQ(::fstat(fd, &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0640u);
  struct statx extended {};
  ASSERT_EQ(::statx(fd, "", AT_EMPTY_PATH, STATX_SIZE, &extended), 0);
  EXPECT_EQ(extended.stx_size, 6u);
  ::close(fd);
  ASSERT_EQ(::fstatat(AT_FDCWD, file_.c_str(), &status, 0), 0);
  EXPECT_EQ(::access(file_.c_str(), R_OK), 0);
  EXPECT_EQ(::access((folder_ + "/missing").c_str(), F_OK), -1);
  char target[PATH_MAX] = {};
  EXPECT_EQ(::readlink((folder_ + "/link").c_str(), target, sizeof(target)), 8);
  EXPECT_STREQ(target, "data.txt");
  char label[256];
  const ssize_t got = ::lgetxattr(file_.c_str(), "user.korvane", label, sizeof(label));
  EXPECT_TRUE(got == -1 && (errno == ENODATA || errno == ENOTSUP)) << got << " " << errno;
  EXPECT_GE(::listxattr(file_.c_str(), nullptr, 0), 0);
  EXPECT_EQ(::getxattr((folder_ + "/missing").c_str(), "user.korvane", label, sizeof(label)), -1);
  EXPECT_EQ(errno, ENOENT);
  char* real = ::realpath((folder_ + "/link").c_str(), nullptr);
  ASSERT_NE(real, nullptr);
  EXPECT_EQ(std::string(real), fs::canonical(file_).string());
  std::free(real);
}

TEST_F(PassThrough, ListsItsOwnFolders) {
  DIR* directory = ::opendir(folder_.c_str());
  ASSERT_NE(directory, nullptr);
  EXPECT_GE(::dirfd(directory), 0);
  std::vector<std::string> names;
  while (const dirent* entry = ::readdir(directory)) names.emplace_back(entry->d_name);
  ::rewinddir(directory);
  EXPECT_NE(::readdir(directory), nullptr);
  EXPECT_EQ(::closedir(directory), 0);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{".", "..", "data.txt", "link"}));
}

TEST_F(PassThrough, CopiesDescriptorsAndChangesTheirFlags) {
  const int fd = ::open(file_.c_str(), O_RDONLY);
  const int copy = ::dup(fd);
  const int second = ::fcntl(fd, F_DUPFD_CLOEXEC, 100);
  ASSERT_GE(copy, 0);
  EXPECT_GE(second, 100);
  EXPECT_EQ(::fcntl(second, F_GETFD), FD_CLOEXEC);
  EXPECT_EQ(::dup2(fd, 90), 90);
  EXPECT_EQ(::dup3(fd, 91, O_CLOEXEC), 91);
  EXPECT_EQ(::fcntl(fd, F_SETFL, O_NONBLOCK), 0);
  EXPECT_TRUE(::fcntl(copy, F_GETFL) & O_NONBLOCK);  // one open file description
  char c = 0;
  EXPECT_EQ(::read(91, &c, 1), 1);
  EXPECT_EQ(c, 'h');
  for (const int each : {fd, copy, second, 90, 91}) EXPECT_EQ(::close(each), 0);
}

TEST_F(PassThrough, WaitsOnItsOwnPipesAndSockets) {
  int pipeEnds[2];
  ASSERT_EQ(::pipe(pipeEnds), 0);
  int sockets[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, sockets), 0);
  pollfd nothing[2] = {{pipeEnds[0], POLLIN, 0}, {sockets[1], POLLIN, 0}};
  EXPECT_EQ(::poll(nothing, 2, 10), 0);
  ASSERT_EQ(::write(pipeEnds[1], "x", 1), 1);
  ASSERT_EQ(::send(sockets[0], "yz", 2, 0), 2);
  pollfd ready[2] = {{pipeEnds[0], POLLIN, 0}, {sockets[1], POLLIN, 0}};
  EXPECT_EQ(::poll(ready, 2, 1000), 2);
  const timespec shortly{1, 0};
  EXPECT_EQ(::ppoll(ready, 2, &shortly, nullptr), 2);
  int available = 0;
  EXPECT_EQ(::ioctl(pipeEnds[0], FIONREAD, &available), 0);
  EXPECT_EQ(available, 1);

  fd_set readable;
  FD_ZERO(&readable);
  FD_SET(pipeEnds[0], &readable);
  FD_SET(sockets[1], &readable);
  timeval second{1, 0};
  EXPECT_EQ(::select(std::max(pipeEnds[0], sockets[1]) + 1, &readable, nullptr, nullptr, &second),
            2);
  EXPECT_EQ(::pselect(std::max(pipeEnds[0], sockets[1]) + 1, &readable, nullptr, nullptr, &shortly,
                      nullptr),
            2);

  const int epoll = ::epoll_create1(EPOLL_CLOEXEC);
  epoll_event event{EPOLLIN, {}};
  event.data.u64 = 42;
  ASSERT_EQ(::epoll_ctl(epoll, EPOLL_CTL_ADD, sockets[1], &event), 0);
  epoll_event got[4];
  ASSERT_EQ(::epoll_wait(epoll, got, 4, 1000), 1);
  EXPECT_EQ(got[0].data.u64, 42u);
  EXPECT_EQ(::epoll_pwait(epoll, got, 4, 1000, nullptr), 1);
  char buffer[4] = {};
  EXPECT_EQ(::recv(sockets[1], buffer, sizeof(buffer), 0), 2);
  EXPECT_EQ(::epoll_wait(epoll, got, 4, 0), 0);
  for (const int each : {epoll, pipeEnds[0], pipeEnds[1], sockets[0], sockets[1]}) ::close(each);
}

TEST_F(PassThrough, MapsAndUnmapsItsOwnMemory) {
  const int fd = ::open(file_.c_str(), O_RDONLY);
  void* mapped = ::mmap(nullptr, 6, PROT_READ, MAP_PRIVATE, fd, 0);
  ASSERT_NE(mapped, MAP_FAILED);
  EXPECT_EQ(std::memcmp(mapped, "hello\n", 6), 0);
  EXPECT_EQ(::munmap(mapped, 6), 0);
  void* anonymous =
      ::mmap(nullptr, 1 << 20, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(anonymous, MAP_FAILED);
  static_cast<char*>(anonymous)[100] = 1;
  EXPECT_EQ(::munmap(anonymous, 1 << 20), 0);
  ::close(fd);
}

// With the library loaded, the emulated cameras are there beside everything above.
TEST(PassThroughLibrary, IsLoadedWhereItShouldBe) {
  const char* preload = std::getenv("LD_PRELOAD");
  if (!preload || !std::strstr(preload, "libkorvane-v4l2-emulation")) GTEST_SKIP();
  struct stat status {};
  ASSERT_EQ(::stat("/dev/video0", &status), 0);
  EXPECT_TRUE(S_ISCHR(status.st_mode));
  EXPECT_EQ(major(status.st_rdev), 81u);
}

}  // namespace
