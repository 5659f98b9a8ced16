// The one failure every layer throws: the text shown to the user (Japanese for the Jet engine, the
// driver's own diagnostic for ODBC) and DAO's error number. Small on purpose: no object model here.
#pragma once

#include <stdexcept>
#include <string>

namespace vellicor::dao {

class Error : public std::runtime_error {
 public:
  explicit Error(std::string description, int number = 0)
      : std::runtime_error(description), description_(std::move(description)), number_(number) {}
  const std::string& description() const { return description_; }
  int number() const { return number_; }

 private:
  std::string description_;
  int number_;
};

}  // namespace vellicor::dao
