// Executes SQL scripts statement by statement through the ODBC driver.
// The splitter knows quoted strings and identifiers, -- and /* */ comments.
#include "dataaccess/odbc/odbc_script.h"

#include <cctype>

#include "dataaccess/dao.h"
#include "dataaccess/odbc/odbc_diag.h"
#include "dataaccess/odbc/odbc_handles.h"
#include "dataaccess/odbc/odbc_text.h"

namespace vellicor::odbc {

std::vector<std::string> splitStatements(std::string_view script) {
  std::vector<std::string> out;
  std::string current;
  bool meaningful = false;
  auto flush = [&] {
    while (!current.empty() && std::isspace(static_cast<unsigned char>(current.back()))) current.pop_back();
    if (meaningful) out.push_back(current);
    current.clear();
    meaningful = false;
  };
  size_t i = 0;
  while (i < script.size()) {
    const char c = script[i];
    if (c == '-' && i + 1 < script.size() && script[i + 1] == '-') {
      while (i < script.size() && script[i] != '\n') ++i;
      continue;
    }
    if (c == '/' && i + 1 < script.size() && script[i + 1] == '*') {
      const size_t end = script.find("*/", i + 2);
      i = end == std::string_view::npos ? script.size() : end + 2;
      if (meaningful) current += ' ';
      continue;
    }
    if (c == '\'' || c == '"') {
      // A doubled quote inside stays part of the literal.
      size_t j = i + 1;
      for (;;) {
        if (j >= script.size()) break;
        if (script[j] == c) {
          if (j + 1 < script.size() && script[j + 1] == c) {
            j += 2;
            continue;
          }
          break;
        }
        ++j;
      }
      const size_t end = std::min(j + 1, script.size());
      current.append(script.substr(i, end - i));
      meaningful = true;
      i = end;
      continue;
    }
    if (c == ';') {
      flush();
      ++i;
      continue;
    }
    if (!std::isspace(static_cast<unsigned char>(c))) meaningful = true;
    if (meaningful || !std::isspace(static_cast<unsigned char>(c))) current += c;
    ++i;
  }
  flush();
  return out;
}

void executeScript(const std::string& connect, std::string_view script) {
  auto env = std::make_shared<Environment>();
  Connection connection(env);
  connection.open(connect, false);
  for (const std::string& sql : splitStatements(script)) {
    auto statement = connection.newStatement();
    SQLHSTMT stmt = statement->handle();
    WideString text = toWide(sql);
    const SQLRETURN rc = SQLExecDirectW(stmt, text.data(), SQL_NTS);
    if (rc != SQL_NO_DATA && !SQL_SUCCEEDED(rc)) {
      std::string message = diagnosticText(SQL_HANDLE_STMT, stmt);
      throw dao::Error((message.empty() ? std::string("SQL の実行に失敗しました。") : message) + "\n(" +
                           sql.substr(0, 120) + ")",
                       kOdbcCallFailed);
    }
  }
  connection.close();
}

}  // namespace vellicor::odbc
