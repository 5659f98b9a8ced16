// The stopping file layer and the child runner of stopping_file.h.
#include "hardening/stopping_file.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "dataaccess/dao.h"

namespace vellicor::hardening {

const char* stopName(Stop s) {
  switch (s) {
    case Stop::kNone: return "none";
    case Stop::kKill: return "kill";
    case Stop::kTornWrite: return "torn write";
    case Stop::kDiskFull: return "disk full";
  }
  return "?";
}

namespace {

class StoppingFile : public jet3::FileIo {
 public:
  StoppingFile(std::unique_ptr<jet3::FileIo> real, StopPlan& plan) : real_(std::move(real)), plan_(plan) {}
  void readAt(uint64_t o, void* b, size_t n) override { real_->readAt(o, b, n); }
  void writeAt(uint64_t o, const void* b, size_t n) override {
    const long k = ++plan_.writes;
    if (plan_.kind == Stop::kKill && k == plan_.at) {
      std::fflush(nullptr);
      ::_exit(kKilledAtWrite);
    }
    if (plan_.kind == Stop::kDiskFull && (plan_.fired || k == plan_.at)) fire("ENOSPC");
    if (plan_.kind == Stop::kTornWrite && k == plan_.at) {
      // Only a write that grows the file can come back short for want of space; rewriting pages
      // the file has fails whole.
      if (o + n > real_->size()) real_->writeAt(o, b, n / 2);
      fire("short write");
    }
    real_->writeAt(o, b, n);
  }
  void sync() override {
    if (plan_.kind == Stop::kDiskFull && plan_.fired) fire("fsync");
    real_->sync();
  }
  uint64_t size() override { return real_->size(); }
  void truncate(uint64_t n) override {
    if (plan_.kind == Stop::kDiskFull && plan_.fired) fire("ftruncate");
    real_->truncate(n);
  }
  void close() override { real_->close(); }

 private:
  [[noreturn]] void fire(const char* what) {
    plan_.fired = true;
    throw dao::Error(std::string("注入した障害: ") + what);
  }
  std::unique_ptr<jet3::FileIo> real_;
  StopPlan& plan_;
};

}  // namespace

jet3::FileOpener stoppingOpener(StopPlan& plan) {
  return [&plan](const std::string& path, jet3::OpenMode mode) -> std::unique_ptr<jet3::FileIo> {
    return std::make_unique<StoppingFile>(jet3::openPosixFile(path, mode), plan);
  };
}

int runInChild(const std::function<int()>& fn) {
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    int code = 111;
    try {
      code = fn();
    } catch (...) {
      code = 112;
    }
    std::fflush(nullptr);
    ::_exit(code);
  }
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace vellicor::hardening
