// Windows implementation of the file layer: ReadFile/WriteFile at OVERLAPPED offsets, FlushFileBuffers,
// share modes as the locks, MoveFileExW for the names. Paths are UTF-8 here and UTF-16 at every call.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>

#include "dataaccess/dao.h"
#include "dataaccess/jet3/file_io.h"
#include "text/wide_windows.h"

namespace vellicor::jet3 {
namespace {

std::string reason(DWORD err) {
  switch (err) {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return "ディスクの空き容量が不足しています";
    case ERROR_ACCESS_DENIED: return "アクセスが拒否されました";
    case ERROR_FILE_NOT_FOUND: return "ファイルが見つかりません";
    case ERROR_PATH_NOT_FOUND: return "指定されたフォルダが見つかりません";
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return "ファイルは既に存在します";
    case ERROR_WRITE_PROTECT: return "書き込み禁止のメディアです";
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return "ファイルは他のプロセスが使用中です";
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME: return "ファイル名、フォルダ名の指定が正しくありません";
    case ERROR_NOT_READY: return "デバイスの準備ができていません";
    case ERROR_NETNAME_DELETED:
    case ERROR_BAD_NETPATH: return "ネットワーク上のファイルに接続できません";
    default: {
      const std::string text = vellicor::text::systemErrorText(err);
      return "システムエラー " + std::to_string(err) + (text.empty() ? "" : " (" + text + ")");
    }
  }
}

// Errors that another program's brief open (a virus scanner, an indexer, a reader of ours) causes
// on a name operation; such operations are tried again for a short while.
bool isTransient(DWORD err) {
  return err == ERROR_SHARING_VIOLATION || err == ERROR_LOCK_VIOLATION || err == ERROR_ACCESS_DENIED;
}
constexpr int kNameRetries = 20;
constexpr auto kNameRetryPause = std::chrono::milliseconds(50);

// Runs op (true when done) until it succeeds or fails with a lasting error; returns the last error.
template <typename Op>
DWORD withRetries(Op op) {
  for (int attempt = 0;; ++attempt) {
    if (op()) return ERROR_SUCCESS;
    const DWORD err = GetLastError();
    if (!isTransient(err) || attempt == kNameRetries) return err;
    std::this_thread::sleep_for(kNameRetryPause);
  }
}

// What each mode asks of CreateFileW. The share mode is the lock: a read-write open shares only
// reading, so no other program (Access included) can write, rename or delete the file meanwhile, nor
// open it for reading only with a share mode that keeps writers out (our read-only opens); a read-only
// open shares reading only, so writers stay out while it reads; a look shares everything but deletion.
struct Request {
  DWORD access;
  DWORD share;
  DWORD disposition;
};

Request requestOf(OpenMode mode) {
  constexpr DWORD kReadWrite = GENERIC_READ | GENERIC_WRITE;
  switch (mode) {
    case OpenMode::kCreateNew: return {kReadWrite, FILE_SHARE_READ, CREATE_NEW};
    case OpenMode::kOpenExclusive:
    case OpenMode::kOpenShared: return {kReadWrite, FILE_SHARE_READ, OPEN_EXISTING};
    case OpenMode::kOpenReadOnly: return {GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING};
    case OpenMode::kLookOnly: return {GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING};
    case OpenMode::kCreateJournal: return {kReadWrite, FILE_SHARE_READ, CREATE_ALWAYS};
    // Asking for the right to delete keeps out every open that does not share deletion (all of
    // ours, Access, most programs): the file is not in use now and is not opened until replaced.
    case OpenMode::kLockToReplace: return {GENERIC_READ | DELETE, FILE_SHARE_READ, OPEN_EXISTING};
  }
  return {GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING};
}

class WindowsFile;

// The files of this process that a name operation has to let go of for a moment: a new database
// is written under a temporary name and published while it is open, and a replaced database is
// held until the new one takes its name. Windows renames no file that is open without shared
// deletion, and replaces no file that is open at all, so the name operations close such a file
// around the rename and open it again under its new name with the same share mode.
class OpenFiles {
 public:
  void add(const std::string& path, WindowsFile* f) {
    std::lock_guard<std::mutex> lock(mutex_);
    files_[path] = f;
  }
  void remove(const std::string& path, WindowsFile* f) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = files_.find(path);
    if (it != files_.end() && it->second == f) files_.erase(it);
  }
  WindowsFile* find(const std::string& path) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = files_.find(path);
    return it == files_.end() ? nullptr : it->second;
  }

 private:
  std::mutex mutex_;
  std::map<std::string, WindowsFile*> files_;
};

OpenFiles& openFiles() {
  static OpenFiles files;
  return files;
}

bool registered(OpenMode mode) { return mode == OpenMode::kCreateNew || mode == OpenMode::kLockToReplace; }

HANDLE createHandle(const std::string& path, OpenMode mode, DWORD disposition) {
  const Request r = requestOf(mode);
  return CreateFileW(text::widen(path).c_str(), r.access, r.share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

class WindowsFile : public FileIo {
 public:
  WindowsFile(std::string path, HANDLE h, OpenMode mode) : path_(std::move(path)), h_(h), mode_(mode) {
    if (registered(mode_)) openFiles().add(path_, this);
  }
  ~WindowsFile() override { close(); }

  void readAt(uint64_t offset, void* buffer, size_t n) override {
    auto* p = static_cast<uint8_t*>(buffer);
    size_t done = 0;
    while (done < n) {
      const DWORD want = static_cast<DWORD>(std::min<size_t>(n - done, kMaxChunk));
      OVERLAPPED at = overlappedAt(offset + done);
      DWORD got = 0;
      if (!ReadFile(handle(), p + done, want, &got, &at)) {
        const DWORD err = GetLastError();
        if (err != ERROR_HANDLE_EOF) fail("読み込み", err);
        got = 0;
      }
      if (got == 0) {  // past the end
        std::memset(p + done, 0, n - done);
        return;
      }
      done += got;
    }
  }

  void writeAt(uint64_t offset, const void* buffer, size_t n) override {
    const auto* p = static_cast<const uint8_t*>(buffer);
    size_t done = 0;
    while (done < n) {
      const DWORD want = static_cast<DWORD>(std::min<size_t>(n - done, kMaxChunk));
      OVERLAPPED at = overlappedAt(offset + done);
      DWORD put = 0;
      if (!WriteFile(handle(), p + done, want, &put, &at)) fail("書き込み", GetLastError());
      if (put == 0) fail("書き込み", ERROR_DISK_FULL);
      done += put;
    }
  }

  void sync() override {
    if (!FlushFileBuffers(handle())) fail("ディスクへの書き出し", GetLastError());
  }

  uint64_t size() override {
    LARGE_INTEGER s{};
    if (!GetFileSizeEx(handle(), &s)) fail("サイズの取得", GetLastError());
    return static_cast<uint64_t>(s.QuadPart);
  }

  void truncate(uint64_t length) override {
    FILE_END_OF_FILE_INFO end{};
    end.EndOfFile.QuadPart = static_cast<LONGLONG>(length);
    if (!SetFileInformationByHandle(handle(), FileEndOfFileInfo, &end, sizeof end)) fail("サイズの変更", GetLastError());
  }

  void close() override {
    closeHandle();
    if (registered(mode_)) openFiles().remove(path_, this);
  }

  // For the name operations (see OpenFiles): lets go of the handle, keeping the object.
  void closeHandle() {
    if (h_ != INVALID_HANDLE_VALUE) {
      CloseHandle(h_);
      h_ = INVALID_HANDLE_VALUE;
    }
  }
  // Opens the file again under path with the mode's share; false when another program took it meanwhile.
  bool reopen(const std::string& path) {
    HANDLE h = createHandle(path, mode_, OPEN_EXISTING);
    if (h == INVALID_HANDLE_VALUE) return false;
    if (path != path_) {
      openFiles().remove(path_, this);
      path_ = path;
      openFiles().add(path_, this);
    }
    h_ = h;
    return true;
  }

 private:
  static constexpr size_t kMaxChunk = size_t{1} << 30;

  static OVERLAPPED overlappedAt(uint64_t offset) {
    OVERLAPPED o{};
    o.Offset = static_cast<DWORD>(offset);
    o.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return o;
  }

  HANDLE handle() const {
    if (h_ == INVALID_HANDLE_VALUE) {
      throw dao::ioFailure("ファイル '" + path_ + "' は他のプロセスが開いたため、書き込みを続けられません。");
    }
    return h_;
  }

  [[noreturn]] void fail(const char* what, DWORD err) const {
    throw dao::ioFailure("ファイル '" + path_ + "' の" + what + "に失敗しました: " + reason(err) + "。");
  }

  std::string path_;
  HANDLE h_;
  OpenMode mode_;
};

// Renames from to `to` (replacing it when asked) while letting go of our own open files of both
// names for the moment of the rename (see OpenFiles). The file that was open as `from` is open as `to`
// afterwards, or again as `from` when the rename failed.
DWORD renameOpenFiles(const std::string& from, const std::string& to, bool replace) {
  WindowsFile* moving = openFiles().find(from);
  WindowsFile* replaced = replace ? openFiles().find(to) : nullptr;
  if (moving != nullptr) moving->closeHandle();
  if (replaced != nullptr) replaced->closeHandle();
  const std::wstring wideFrom = text::widen(from), wideTo = text::widen(to);
  const DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
  const DWORD err = withRetries([&] { return MoveFileExW(wideFrom.c_str(), wideTo.c_str(), flags) != 0; });
  if (err != ERROR_SUCCESS) {
    if (replaced != nullptr) replaced->reopen(to);
    if (moving != nullptr) moving->reopen(from);
    return err;
  }
  if (moving != nullptr && !moving->reopen(to)) return ERROR_SHARING_VIOLATION;
  return ERROR_SUCCESS;
}

[[noreturn]] void throwOpenFailure(const std::string& path, OpenMode mode, DWORD err) {
  if (mode == OpenMode::kCreateNew && (err == ERROR_FILE_EXISTS || err == ERROR_ALREADY_EXISTS)) {
    throw dao::Error("データベース '" + path + "' は既に存在します。", dao::errnum::kDatabaseExists);
  }
  if (err == ERROR_SHARING_VIOLATION || err == ERROR_LOCK_VIOLATION) {
    if (mode == OpenMode::kLockToReplace) {
      throw dao::Error("ファイル '" + path + "' は他の処理が使用中のため、置き換えられません。", dao::errnum::kFileInUse);
    }
    throw dao::Error(mode == OpenMode::kOpenReadOnly || mode == OpenMode::kLookOnly
                         ? "ファイル '" + path + "' は他のユーザーが排他モードで使用中のため開けません。"
                         : "ファイル '" + path + "' は他のユーザーが使用中のため、排他モードで開けません。",
                     dao::errnum::kFileInUse);
  }
  throw dao::Error("ファイル '" + path + "' を開けません: " + reason(err) + "。", dao::errnum::kNotAValidPath);
}

}  // namespace

std::unique_ptr<FileIo> openSystemFile(const std::string& path, OpenMode mode) {
  const DWORD attributes = GetFileAttributesW(text::widen(path).c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    // A file marked read-only is not written, as Jet refuses read-only files for exclusive use.
    if ((mode == OpenMode::kOpenExclusive || mode == OpenMode::kOpenShared) && (attributes & FILE_ATTRIBUTE_READONLY)) {
      throw dao::Error("ファイル '" + path + "' は読み取り専用のため、書き込み用に開けません。", dao::errnum::kCannotOpenFile);
    }
    if (mode == OpenMode::kLookOnly && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
      throw dao::Error("ファイル \"" + path + "\" は通常のファイルではありません。", dao::errnum::kUnrecognizedFormat);
    }
  }
  HANDLE h = createHandle(path, mode, requestOf(mode).disposition);
  if (h == INVALID_HANDLE_VALUE) throwOpenFailure(path, mode, GetLastError());
  if (mode == OpenMode::kLookOnly && GetFileType(h) != FILE_TYPE_DISK) {
    CloseHandle(h);
    throw dao::Error("ファイル \"" + path + "\" は通常のファイルではありません。", dao::errnum::kUnrecognizedFormat);
  }
  return std::make_unique<WindowsFile>(path, h, mode);
}

bool fileExists(const std::string& path) {
  return GetFileAttributesW(text::widen(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::optional<std::string> removeFile(const std::string& path) {
  const std::wstring wide = text::widen(path);
  const DWORD err = withRetries([&] { return DeleteFileW(wide.c_str()) != 0; });
  if (err == ERROR_SUCCESS || err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND) return std::nullopt;
  return reason(err);
}

std::optional<std::string> renameReplacing(const std::string& from, const std::string& to) {
  if (const DWORD err = renameOpenFiles(from, to, true); err != ERROR_SUCCESS) return reason(err);
  return std::nullopt;
}

std::optional<std::string> publishNewFile(const std::string& from, const std::string& to, bool* taken) {
  // A rename that does not replace: it fails when the name is taken, and the file it moves is
  // complete (synced) before, so the name never names a part of it.
  *taken = false;
  const DWORD err = renameOpenFiles(from, to, false);
  if (err == ERROR_SUCCESS) return std::nullopt;
  *taken = err == ERROR_FILE_EXISTS || err == ERROR_ALREADY_EXISTS;
  return reason(err);
}

// NTFS writes a file's directory entry with the file's metadata, which FlushFileBuffers on the file
// makes durable, and renames are made with MOVEFILE_WRITE_THROUGH; directories cannot be flushed
// without backup rights.
void syncDirectoryOf(const std::string&) {}

uint64_t processNumber() { return static_cast<uint64_t>(GetCurrentProcessId()); }

}  // namespace vellicor::jet3
