#include "desktop/run_log.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "desktop/clock.h"
#include "text/codepage.h"

namespace shorturl {
namespace {

// Paths here are file-system paths: bytes as the kernel takes them (UTF-8).
using FsPath = std::string;

constexpr char kLogName[] = "运行日志.txt";  // UTF-8 on the file system
constexpr int kMaxLinks = 40;
// How long a writer waits for the lock, including the retries of a writer
// whose log was replaced while it waited. It gives up, writing nothing,
// only when another writer holds the lock this long or others keep
// replacing the log for this long.
constexpr std::chrono::seconds kMaxLockWait{30};
constexpr std::size_t kCopyChunk = 1 << 20;

class Descriptor {
 public:
  explicit Descriptor(int fd = -1) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }
  int Release() { return std::exchange(fd_, -1); }
  // Closes now and reports whether the close succeeded (a delayed write
  // error shows up here).
  bool Close() {
    int fd = fd_;
    fd_ = -1;
    return fd < 0 || close(fd) == 0;
  }

 private:
  int fd_;
};

Text DateTimeText(const LocalDateTime& t) {
  static const Text kYear = "年"_gbk, kMonth = "月"_gbk, kDay = "日"_gbk, kHour = "时"_gbk,
                    kMinute = "分"_gbk, kSecond = "秒"_gbk;
  Text out = std::to_string(t.year) + kYear + std::to_string(t.month) + kMonth +
             std::to_string(t.day) + kDay;
  if (t.second != 0) {
    out += std::to_string(t.hour) + kHour + std::to_string(t.minute) + kMinute +
           std::to_string(t.second) + kSecond;
  } else if (t.minute != 0) {
    out += std::to_string(t.hour) + kHour + std::to_string(t.minute) + kMinute;
  } else if (t.hour != 0) {
    out += std::to_string(t.hour) + kHour;
  }
  return out;
}

FsPath FolderOf(const FsPath& path) {
  std::size_t slash = path.rfind('/');
  if (slash == FsPath::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

FsPath NameOf(const FsPath& path) {
  std::size_t slash = path.rfind('/');
  return slash == FsPath::npos ? path : path.substr(slash + 1);
}

// Follows symbolic links at the end of `path`, so that the log is replaced
// where the link points and the link itself stays. A dangling link gives
// the path it points to, where the log is then created.
FsPath FollowLinks(FsPath path) {
  for (int i = 0; i < kMaxLinks; ++i) {
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    std::vector<char> target(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 255) + 1);
    ssize_t n = readlink(path.c_str(), target.data(), target.size());
    if (n <= 0 || static_cast<std::size_t>(n) >= target.size()) return path;
    FsPath next(target.data(), static_cast<std::size_t>(n));
    path = next[0] == '/' ? next : FolderOf(path) + "/" + next;
  }
  return path;  // a loop: opening it fails
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

// Appends everything of `from` (from its start) to `to`: in the kernel where
// the file system can, else through a buffer.
bool CopyAll(int from, int to) {
  loff_t offset = 0;
  while (true) {
    ssize_t n = copy_file_range(from, &offset, to, nullptr, kCopyChunk, 0);
    if (n == 0) return true;
    if (n > 0) continue;
    if (errno == EINTR) continue;
    if (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP) break;
    return false;
  }
  std::vector<char> buffer(kCopyChunk);
  while (true) {
    ssize_t n = pread(from, buffer.data(), buffer.size(), offset);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    if (!WriteAll(to, std::string_view(buffer.data(), static_cast<std::size_t>(n)))) return false;
    offset += n;
  }
}

FsPath TemporaryPrefix(const FsPath& log) { return FolderOf(log) + "/." + NameOf(log) + ".tmp-"; }

// Temporary files of this log left by a writer that was killed. Called with
// the log's lock held: no live writer of this log has one then.
void RemoveLeftTemporaries(const FsPath& log) {
  const FsPath folder = FolderOf(log);
  const FsPath prefix = "." + NameOf(log) + ".tmp-";
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return;
  while (dirent* entry = readdir(dir)) {
    std::string_view name = entry->d_name;
    if (name.size() == prefix.size() + 6 && name.starts_with(prefix)) {
      unlinkat(dirfd(dir), entry->d_name, 0);
    }
  }
  closedir(dir);
}

// Opens the log (creating it empty when it is missing) and takes its lock.
// A writer that waited may find the log replaced meanwhile by the one it
// waited for: then it locks the new log instead. -1 when the log cannot be
// opened for writing or is not a regular file.
int OpenLocked(const FsPath& log, struct stat& st) {
  const auto give_up = std::chrono::steady_clock::now() + kMaxLockWait;
  while (std::chrono::steady_clock::now() < give_up) {
    Descriptor fd(open(log.c_str(), O_RDWR | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0666));
    if (fd.get() < 0) return -1;
    if (fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
    // Polled rather than waited for, so that a writer that hangs holding
    // the lock cannot hang this one past the time limit.
    auto pause = std::chrono::microseconds(200);
    while (flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
      if ((errno != EWOULDBLOCK && errno != EINTR) || std::chrono::steady_clock::now() >= give_up) {
        return -1;
      }
      std::this_thread::sleep_for(pause);
      pause = std::min(pause * 2, std::chrono::microseconds(10000));
    }
    struct stat now {};
    if (fstat(fd.get(), &st) != 0) return -1;
    if (stat(log.c_str(), &now) == 0 && now.st_dev == st.st_dev && now.st_ino == st.st_ino) {
      return fd.Release();
    }
  }
  return -1;
}

void InsertLine(const FsPath& path, std::string_view line) {
  const FsPath log = FollowLinks(path);
  struct stat st {};
  Descriptor old_log(OpenLocked(log, st));
  if (old_log.get() < 0) return;
  RemoveLeftTemporaries(log);

  FsPath temporary = TemporaryPrefix(log) + "XXXXXX";
  Descriptor out(mkostemp(temporary.data(), O_CLOEXEC));
  if (out.get() < 0) return;
  // The owner first: changing it may clear the set-id bits that fchmod sets.
  // Only a privileged process may give the file to someone else; otherwise
  // the new log belongs to this process's user.
  if (st.st_uid != geteuid() || st.st_gid != getegid()) {
    [[maybe_unused]] int not_allowed = fchown(out.get(), st.st_uid, st.st_gid);
  }
  bool ok = fchmod(out.get(), st.st_mode & 07777) == 0 && WriteAll(out.get(), line) &&
            CopyAll(old_log.get(), out.get()) && fdatasync(out.get()) == 0 && out.Close() &&
            rename(temporary.c_str(), log.c_str()) == 0;
  // The folder is not flushed after the rename: a crash before the rename
  // reaches the disk leaves the old log, which is whole, and the flush costs
  // as much again as the file's own on the user-interface thread.
  if (!ok) unlink(temporary.c_str());
}

Text Line(std::string_view message) {
  Text line = DateTimeText(LocalNow());
  line += "   ";
  line += message;
  line += "\r\n";
  return line;
}

}  // namespace

void WriteRunLog(std::string_view message) {
  char exe[4096];
  ssize_t n = readlink("/proc/self/exe", exe, sizeof exe);
  if (n <= 0 || static_cast<std::size_t>(n) >= sizeof exe) return;
  InsertLine(FolderOf(FsPath(exe, static_cast<std::size_t>(n))) + "/" + kLogName, Line(message));
}

void WriteRunLog(std::string_view message, std::string_view path) {
  if (path.empty()) return;
  InsertLine(Utf8FromText(path), Line(message));
}

}  // namespace shorturl
