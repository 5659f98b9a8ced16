// The run log's file handling and its five kinds of line. Every line is flushed at once, so the
// lines written before a failure stay in the file.
#include "engine/run_log.h"

#include <cerrno>
#include <cstring>

#include "dataaccess/dao.h"
#include "engine/log_file.h"

namespace vellicor::engine {

std::string formatRunTime(std::time_t t) {
  std::tm tm{};
  localtime_r(&t, &tm);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y/%m/%d %H:%M:%S", &tm);
  return buf;
}

void RunLog::open(const std::string& path, bool append) {
  close();
  std::FILE* f = openLogFile(path, append);
  if (f == nullptr) {
    const int err = errno;
    throw dao::ioFailure("ログファイル '" + path + "' を開けません。(" + std::strerror(err) + ")", dao::errnum::kCannotOpenFile);
  }
  file_ = f;
  path_ = path;
}

void RunLog::writeLine(const std::string& line) {
  if (file_ == nullptr) return;
  const std::string text = logLineBytes(line);
  if (std::fwrite(text.data(), 1, text.size(), file_) != text.size() || std::fflush(file_) != 0) {
    const int err = errno;
    throw dao::ioFailure("ログファイル '" + path_ + "' に書き込めません。(" + std::strerror(err) + ")");
  }
}

void RunLog::writeDatabaseLine(const std::string& user, const std::string& dbq) {
  writeLine("データベース= " + user + "@" + dbq);
}

void RunLog::writeSkipLine(const std::string& objectName) {
  writeLine("テーブル " + objectName + " スキップ");
}

void RunLog::writeRecordCountLine(const std::string& objectName, int64_t recordCount) {
  writeLine("テーブル " + objectName + " レコード件数 = " + std::to_string(recordCount) + " 件");
}

void RunLog::writeSubstitutedLine(const std::string& objectName, uint64_t characters) {
  writeLine("テーブル " + objectName + " シフトJISで表せない文字 = " + std::to_string(characters) + " 文字 (「?」に置換)");
}

void RunLog::writeLeftOutLine(const std::string& objectName, const std::string& why) {
  writeLine("テーブル " + objectName + " 除外: " + why);
}

void RunLog::writeStopLine(const std::string& text) noexcept {
  try {
    writeLine("中止: " + text);
  } catch (...) {
    // The log cannot be written; the box has said it.
  }
}

void RunLog::writeTimeLines(std::time_t start, std::time_t end) {
  writeLine("開始日時：" + formatRunTime(start));
  writeLine("終了日時：" + formatRunTime(end));
}

void RunLog::close() {
  if (file_ != nullptr) {
    std::fclose(file_);
    file_ = nullptr;
  }
}

}  // namespace vellicor::engine
