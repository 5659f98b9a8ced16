// The file layer of the Jet 3 engine: positioned reads and writes, sync and the locks, and the few
// operations on names that commits and replacing need. One implementation per system (file_io_*.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace vellicor::jet3 {

class FileIo {
 public:
  virtual ~FileIo() = default;
  // Reads exactly n bytes at offset (bytes past the end read as zero); throws dao::Error.
  virtual void readAt(uint64_t offset, void* buffer, size_t n) = 0;
  // Writes exactly n bytes at offset; a short write or an OS failure throws dao::Error.
  virtual void writeAt(uint64_t offset, const void* buffer, size_t n) = 0;
  virtual void sync() = 0;
  virtual uint64_t size() = 0;
  virtual void truncate(uint64_t length) = 0;
  // Releases the handle and the lock; never throws.
  virtual void close() = 0;
};

enum class OpenMode {
  kCreateNew,      // the file must not exist; created and locked exclusively
  kOpenExclusive,  // read-write, locked exclusively
  kOpenShared,     // read-write without asking for exclusive use: still locked exclusively, as
                   // the engine cannot share a file with another writer
  kOpenReadOnly,   // shared lock: other readers may open the file, writers may not
  kLookOnly,       // read-only without any lock: a look at a file that may be in use by a
                   // writer (the reader of file summaries and checks)
  kCreateJournal,  // a commit's journal beside the database: created or emptied, not locked (the
                   // database's own lock keeps other writers away)
  kLockToReplace,  // an existing database about to be replaced by a new file: opened for reading
                   // only to hold the exclusive lock a read-write open takes, so that it is not
                   // replaced while in use, nor opened by anyone until it is gone
};

// The real file of this system (file_io_posix.cpp, file_io_windows.cpp); path is UTF-8. A read-write
// open locks the file exclusively (flock(LOCK_EX | LOCK_NB) on POSIX, share modes on Windows): a
// second open of the same file, by this process or another, fails until the first handle closes; the
// lock goes away with the process. Failures throw dao::Error with a Japanese description.
std::unique_ptr<FileIo> openSystemFile(const std::string& path, OpenMode mode);

// How the engine opens files; tests pass their own to inject faults.
using FileOpener = std::function<std::unique_ptr<FileIo>(const std::string& path, OpenMode mode)>;

// ---- Names ---------------------------------------------------------------------------------
// Each returns the system's reason (Japanese) when it fails, and nothing when it is done.

bool fileExists(const std::string& path);
// A file that is already gone counts as removed.
std::optional<std::string> removeFile(const std::string& path);
// Gives `from` the name `to`, replacing the file of that name whole (never half of either).
std::optional<std::string> renameReplacing(const std::string& from, const std::string& to);
// Gives the complete file `from` the name `to` only when no file has that name (*taken is then
// set); `from` is left for the caller to remove. No moment exists in which `to` names a file
// that is not complete.
std::optional<std::string> publishNewFile(const std::string& from, const std::string& to, bool* taken);
// Makes the directory entry of a file just created durable (a journal synced is a journal found).
// Best effort: systems whose file sync covers the entry need nothing.
void syncDirectoryOf(const std::string& path);
// A number no other running process of this system has: names of temporary files.
uint64_t processNumber();

}  // namespace vellicor::jet3
