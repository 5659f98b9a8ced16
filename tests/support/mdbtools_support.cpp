// Test helpers around the independent readers: command execution, CSV parsing of mdb-export
// output and the list of reference files.
#include "support/mdbtools_support.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#ifdef _WIN32
#include "text/wide_windows.h"
#else
#include <sys/wait.h>
#endif

namespace vellicor::testing {

std::string runCommand(const std::string& command, int* exitCode) {
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) throw std::runtime_error("cannot run: " + command);
  std::string out;
  char buf[65536];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) out.append(buf, n);
  const int status = pclose(pipe);
#ifdef _WIN32
  if (exitCode) *exitCode = status;  // _pclose gives the exit code itself
#else
  if (exitCode) *exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
  return out;
}

std::string shellQuote(const std::string& s) {
  std::string q = "'";
  for (char c : s) {
    if (c == '\'') q += "'\\''";
    else q += c;
  }
  return q + "'";
}

std::vector<CsvRow> parseCsv(const std::string& text, char delimiter) {
  std::vector<CsvRow> rows;
  CsvRow row;
  std::string cell;
  bool quoted = false, inQuotes = false, any = false;
  auto endCell = [&] {
    if (quoted || !cell.empty()) row.emplace_back(cell);
    else row.emplace_back(std::nullopt);
    cell.clear();
    quoted = false;
  };
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    any = true;
    if (inQuotes) {
      if (c == '"') {
        if (i + 1 < text.size() && text[i + 1] == '"') {
          cell += '"';
          ++i;
        } else {
          inQuotes = false;
        }
      } else {
        cell += c;
      }
    } else if (c == '"') {
      inQuotes = true;
      quoted = true;
    } else if (c == delimiter) {
      endCell();
    } else if (c == '\n') {
      if (!cell.empty() && cell.back() == '\r' && !quoted) cell.pop_back();
      endCell();
      rows.push_back(std::move(row));
      row.clear();
      any = false;
    } else {
      cell += c;
    }
  }
  if (any) {
    endCell();
    rows.push_back(std::move(row));
  }
  return rows;
}

std::vector<CsvRow> mdbExport(const std::string& file, const std::string& table, const std::string& charset,
                              bool withHeader) {
  const std::string cmd = "MDB_JET3_CHARSET=" + shellQuote(charset) + " mdb-export" + (withHeader ? "" : " -H") +
                          " -D '%Y-%m-%d %H:%M:%S' -T '%Y-%m-%d %H:%M:%S' -b hex " +
                          shellQuote(file) + " " + shellQuote(table) + " 2>/dev/null";
  int code = 0;
  const std::string out = runCommand(cmd, &code);
  if (code != 0) throw std::runtime_error("mdb-export failed (" + std::to_string(code) + "): " + cmd);
  return parseCsv(out);
}

std::vector<std::string> referenceFiles() {
  std::vector<std::string> files;
  for (const auto& e : std::filesystem::directory_iterator(VELLICOR_REFERENCE_DIR)) {
    if (e.path().extension() == ".mdb") files.push_back(e.path().string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

std::vector<unsigned char> readWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot open " + path);
  return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The run log's text as UTF-8: Windows writes it in the ANSI code page (log_file_windows.cpp).
static std::string logText(const std::string& bytes) {
#ifdef _WIN32
  return text::fromAnsiCodePage(bytes);
#else
  return bytes;
#endif
}

std::vector<std::string> logLines(const std::string& path) {
  std::ifstream in(path, std::ios::binary);  // a missing log has no lines
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::string> lines;
  size_t at = 0;
  while (at < text.size()) {
    const size_t end = text.find("\r\n", at);
    if (end == std::string::npos) {
      lines.push_back(logText(text.substr(at)) + "<no CRLF>");
      break;
    }
    lines.push_back(logText(text.substr(at, end - at)));
    at = end + 2;
  }
  return lines;
}

}  // namespace vellicor::testing
