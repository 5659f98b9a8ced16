// The run log: a text file beside the output holding the connection, the skipped objects, the
// record count of every copied object and the start and end times. UTF-8, CR LF line ends.
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
  // A line made elsewhere (the table plan's lines on names and fields changed for the file).
  void writeTextLine(const std::string& line) { writeLine(line); }

  void close();

 private:
  void writeLine(const std::string& line);

  std::FILE* file_ = nullptr;
  std::string path_;
};

}  // namespace vellicor::engine
