// POSIX implementation of the file layer: pread/pwrite loops, fsync, ftruncate and flock, and the
// operations on names. Every OS failure becomes a dao::Error naming the file and the system's reason.
#include "dataaccess/jet3/file_io.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "dataaccess/dao.h"

namespace vellicor::jet3 {
namespace {

std::string reason(int err) {
  switch (err) {
    case ENOSPC: return "ディスクの空き容量が不足しています";
    case EACCES:
    case EPERM: return "アクセスが拒否されました";
    case ENOENT: return "ファイルが見つかりません";
    case EEXIST: return "ファイルは既に存在します";
    case EROFS: return "読み取り専用のファイルシステムです";
    default: return std::string("システムエラー ") + std::to_string(err) + " (" + std::strerror(err) + ")";
  }
}

class PosixFile : public FileIo {
 public:
  PosixFile(std::string path, int fd) : path_(std::move(path)), fd_(fd) {}
  ~PosixFile() override { close(); }

  void readAt(uint64_t offset, void* buffer, size_t n) override {
    auto* p = static_cast<uint8_t*>(buffer);
    size_t done = 0;
    while (done < n) {
      ssize_t r = ::pread(fd_, p + done, n - done, static_cast<off_t>(offset + done));
      if (r < 0) {
        if (errno == EINTR) continue;
        fail("読み込み", errno);
      }
      if (r == 0) {  // past the end
        std::memset(p + done, 0, n - done);
        return;
      }
      done += static_cast<size_t>(r);
    }
  }

  void writeAt(uint64_t offset, const void* buffer, size_t n) override {
    const auto* p = static_cast<const uint8_t*>(buffer);
    size_t done = 0;
    while (done < n) {
      ssize_t r = ::pwrite(fd_, p + done, n - done, static_cast<off_t>(offset + done));
      if (r < 0) {
        if (errno == EINTR) continue;
        fail("書き込み", errno);
      }
      if (r == 0) fail("書き込み", ENOSPC);
      done += static_cast<size_t>(r);
    }
  }

  void sync() override {
    if (::fsync(fd_) != 0) fail("ディスクへの書き出し", errno);
  }

  uint64_t size() override {
    struct stat st;
    if (::fstat(fd_, &st) != 0) fail("サイズの取得", errno);
    return static_cast<uint64_t>(st.st_size);
  }

  void truncate(uint64_t length) override {
    if (::ftruncate(fd_, static_cast<off_t>(length)) != 0) fail("サイズの変更", errno);
  }

  void close() override {
    if (fd_ >= 0) {
      ::close(fd_);  // also drops the flock
      fd_ = -1;
    }
  }

 private:
  [[noreturn]] void fail(const char* what, int err) const {
    throw dao::ioFailure("ファイル '" + path_ + "' の" + what + "に失敗しました: " + reason(err) + "。");
  }

  std::string path_;
  int fd_;
};

}  // namespace

std::unique_ptr<FileIo> openSystemFile(const std::string& path, OpenMode mode) {
  int flags = O_CLOEXEC;
  switch (mode) {
    case OpenMode::kCreateNew: flags |= O_RDWR | O_CREAT | O_EXCL; break;
    case OpenMode::kOpenExclusive:
    case OpenMode::kOpenShared: flags |= O_RDWR; break;
    case OpenMode::kOpenReadOnly:
    case OpenMode::kLookOnly:
    case OpenMode::kLockToReplace: flags |= O_RDONLY; break;
    case OpenMode::kCreateJournal: flags |= O_RDWR | O_CREAT | O_TRUNC | O_NOFOLLOW; break;
  }
  int fd = ::open(path.c_str(), flags, 0644);
  if (fd < 0) {
    const int err = errno;
    if (mode == OpenMode::kCreateNew && err == EEXIST) {
      throw dao::Error("データベース '" + path + "' は既に存在します。", dao::errnum::kDatabaseExists);
    }
    throw dao::Error("ファイル '" + path + "' を開けません: " + reason(err) + "。", dao::errnum::kNotAValidPath);
  }
  // A file marked read-only (no write permission for anyone) is not written, even by a user whom
  // the system would let write it (root), as Jet refuses read-only files for exclusive use.
  if (mode == OpenMode::kOpenExclusive || mode == OpenMode::kOpenShared) {
    struct stat st {};
    if (::fstat(fd, &st) == 0 && (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
      ::close(fd);
      throw dao::Error("ファイル '" + path + "' は読み取り専用のため、書き込み用に開けません。", dao::errnum::kCannotOpenFile);
    }
  }
  // Our engine cannot share a file with another writer, so every read-write open locks the file
  // exclusively; read-only opens take a shared lock, which keeps writers out while they read.
  if (mode != OpenMode::kCreateJournal && mode != OpenMode::kLookOnly) {
    const int how = mode == OpenMode::kOpenReadOnly ? LOCK_SH : LOCK_EX;
    if (::flock(fd, how | LOCK_NB) != 0) {
      const int err = errno;
      ::close(fd);
      if (err == EWOULDBLOCK && mode == OpenMode::kLockToReplace) {
        throw dao::Error("ファイル '" + path + "' は他の処理が使用中のため、置き換えられません。", dao::errnum::kFileInUse);
      }
      if (err == EWOULDBLOCK) {
        throw dao::Error(mode == OpenMode::kOpenReadOnly
                             ? "ファイル '" + path + "' は他のユーザーが排他モードで使用中のため開けません。"
                             : "ファイル '" + path + "' は他のユーザーが使用中のため、排他モードで開けません。",
                         dao::errnum::kFileInUse);
      }
      throw dao::Error("ファイル '" + path + "' をロックできません: " + reason(err) + "。", dao::errnum::kFileInUse);
    }
  }
  if (mode == OpenMode::kLookOnly) {
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
      ::close(fd);
      throw dao::Error("ファイル \"" + path + "\" は通常のファイルではありません。", dao::errnum::kUnrecognizedFormat);
    }
  }
  return std::make_unique<PosixFile>(path, fd);
}

bool fileExists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

std::optional<std::string> removeFile(const std::string& path) {
  if (::unlink(path.c_str()) == 0 || errno == ENOENT) return std::nullopt;
  return reason(errno);
}

std::optional<std::string> renameReplacing(const std::string& from, const std::string& to) {
  if (::rename(from.c_str(), to.c_str()) == 0) return std::nullopt;
  return reason(errno);
}

std::optional<std::string> publishNewFile(const std::string& from, const std::string& to, bool* taken) {
  *taken = false;
  if (::link(from.c_str(), to.c_str()) == 0) return std::nullopt;
  const int err = errno;
  *taken = err == EEXIST;
  return reason(err);
}

void syncDirectoryOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  const std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;  // nothing more can be done for it here; the file itself is synced
  ::fsync(fd);
  ::close(fd);
}

uint64_t processNumber() { return static_cast<uint64_t>(::getpid()); }

}  // namespace vellicor::jet3
