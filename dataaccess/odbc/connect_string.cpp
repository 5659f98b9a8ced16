// Building the connect string from server, user and password, with ODBC brace quoting for values
// that would otherwise break the attribute list.
#include "dataaccess/odbc/connect_string.h"

#include <string_view>

#include "dataaccess/odbc/oracle_driver.h"

namespace vellicor::odbc {

std::string quoteConnectValue(const std::string& value) {
  auto blank = [](char c) { return c == ' ' || c == '\t'; };
  const bool needs = value.find_first_of(";{}=") != std::string::npos ||
                     (!value.empty() && (blank(value.front()) || blank(value.back())));
  if (!needs) return value;
  std::string out = "{";
  for (char c : value) {
    out += c;
    if (c == '}') out += '}';
  }
  out += '}';
  return out;
}

std::string buildConnectString(const std::string& dbq, const std::string& user, const std::string& pass,
                               const std::string& templ) {
  if (templ.empty()) {
    return "ODBC;Driver={" + oracleDriverName() + "};DBQ=" + quoteConnectValue(dbq) + ";UID=" + quoteConnectValue(user) +
           ";PWD=" + quoteConnectValue(pass) + ";";
  }
  struct Placeholder {
    std::string_view name;
    const std::string* value;
  };
  const Placeholder placeholders[] = {{"%DBQ%", &dbq}, {"%UID%", &user}, {"%PWD%", &pass}};
  std::string out;
  size_t i = 0;
  while (i < templ.size()) {
    bool replaced = false;
    if (templ[i] == '%') {
      for (const auto& p : placeholders) {
        if (std::string_view(templ).substr(i, p.name.size()) == p.name) {
          out += quoteConnectValue(*p.value);
          i += p.name.size();
          replaced = true;
          break;
        }
      }
    }
    if (!replaced) out += templ[i++];
  }
  return out;
}

}  // namespace vellicor::odbc
