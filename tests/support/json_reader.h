// A strict reader of JSON documents for tests that check what a command prints for scripts: the
// document parses whole or the test fails, and values are looked up by key and index.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace vellicor::testing {

class Json {
 public:
  enum class Kind { Null, Bool, Number, String, Array, Object };

  // Parses text (RFC 8259; surrounding blanks allowed); throws std::runtime_error naming the
  // offset of the first fault.
  static Json parse(const std::string& text);

  Kind kind() const { return kind_; }
  bool isNull() const { return kind_ == Kind::Null; }
  bool has(const std::string& key) const;
  // Member or element; throws std::runtime_error when absent or of another kind.
  const Json& operator[](const std::string& key) const;
  const Json& operator[](size_t index) const;
  size_t size() const;  // elements or members
  const std::string& str() const;
  int64_t integer() const;
  bool boolean() const;
  std::vector<std::string> strings() const;  // an array of strings

 private:
  friend class JsonParser;
  Kind kind_ = Kind::Null;
  bool bool_ = false;
  double number_ = 0;
  std::string string_;
  std::vector<Json> items_;
  std::map<std::string, Json> members_;
};

}  // namespace vellicor::testing
