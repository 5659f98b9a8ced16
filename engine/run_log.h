// The run log: a text file beside the output holding the connection, the skipped objects, the
// record count of every copied object and the start and end times. CR LF line ends; UTF-8, or the
// ANSI code page on Windows (log_file.h).
#pragma once

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <string>

namespace vellicor::engine {

// Local date and time as "yyyy/mm/dd hh:mm:ss".
std::string formatRunTime(std::time_t t);

class RunLog {
 public:
  RunLog() = default;
  RunLog(const RunLog&) = delete;
  RunLog& operator=(const RunLog&) = delete;
  ~RunLog() { close(); }

  // Creates or empties the file (append false), or appends to it, creating it if absent.
  // Throws dao::Error with a Japanese description when the file cannot be opened.
  void open(const std::string& path, bool append);
  bool isOpen() const { return file_ != nullptr; }

  void writeDatabaseLine(const std::string& user, const std::string& dbq);
  void writeSkipLine(const std::string& objectName);
  void writeRecordCountLine(const std::string& objectName, int64_t recordCount);
  void writeTimeLines(std::time_t start, std::time_t end);
  // Added lines (runs that change nothing and complete write none of them):
  // characters of one table that code page 932 cannot hold, stored as '?'.
  void writeSubstitutedLine(const std::string& objectName, uint64_t characters);
  // An object left out (a run that keeps going), and why.
  void writeLeftOutLine(const std::string& objectName, const std::string& why);
  // Why the run stopped: the text of the box that said so. Never throws (the run is ending).
  void writeStopLine(const std::string& text) noexcept;
  // A line made elsewhere (the table plan's lines on names and fields changed for the file).
  void writeTextLine(const std::string& line) { writeLine(line); }

  void close();

 private:
  void writeLine(const std::string& line);

  std::FILE* file_ = nullptr;
  std::string path_;
};

}  // namespace vellicor::engine
