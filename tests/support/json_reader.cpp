// The JSON reader: a recursive descent over the text, with \u escapes (and surrogate pairs)
// written back as UTF-8.
#include "support/json_reader.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <stdexcept>

namespace vellicor::testing {

class JsonParser {
 public:
  explicit JsonParser(const std::string& t) : t_(t) {}

  Json document() {
    Json v = value();
    blanks();
    if (p_ != t_.size()) fail("text after the document");
    return v;
  }

 private:
  [[noreturn]] void fail(const std::string& what) const {
    throw std::runtime_error("JSON: " + what + " at offset " + std::to_string(p_));
  }
  void blanks() {
    while (p_ < t_.size() && (t_[p_] == ' ' || t_[p_] == '\n' || t_[p_] == '\r' || t_[p_] == '\t')) ++p_;
  }
  bool take(char c) {
    blanks();
    if (p_ < t_.size() && t_[p_] == c) {
      ++p_;
      return true;
    }
    return false;
  }
  void expect(char c) {
    if (!take(c)) fail(std::string("'") + c + "' expected");
  }
  bool word(const char* w) {
    const std::string s(w);
    if (t_.compare(p_, s.size(), s) != 0) return false;
    p_ += s.size();
    return true;
  }

  Json value() {
    blanks();
    if (p_ >= t_.size()) fail("value expected");
    Json v;
    const char c = t_[p_];
    if (c == '{') {
      ++p_;
      v.kind_ = Json::Kind::Object;
      if (take('}')) return v;
      do {
        blanks();
        if (p_ >= t_.size() || t_[p_] != '"') fail("key expected");
        const std::string key = string();
        expect(':');
        if (!v.members_.emplace(key, value()).second) fail("duplicate key " + key);
      } while (take(','));
      expect('}');
    } else if (c == '[') {
      ++p_;
      v.kind_ = Json::Kind::Array;
      if (take(']')) return v;
      do v.items_.push_back(value());
      while (take(','));
      expect(']');
    } else if (c == '"') {
      v.kind_ = Json::Kind::String;
      v.string_ = string();
    } else if (word("true") || word("false")) {
      v.kind_ = Json::Kind::Bool;
      v.bool_ = t_[p_ - 1] == 'e' && t_[p_ - 2] == 'u';
    } else if (word("null")) {
      v.kind_ = Json::Kind::Null;
    } else {
      const size_t start = p_;
      if (t_[p_] == '-') ++p_;
      if (p_ >= t_.size() || !std::isdigit(static_cast<unsigned char>(t_[p_]))) fail("value expected");
      if (t_[p_] == '0' && p_ + 1 < t_.size() && std::isdigit(static_cast<unsigned char>(t_[p_ + 1]))) fail("leading zero");
      while (p_ < t_.size() && (std::isdigit(static_cast<unsigned char>(t_[p_])) || t_[p_] == '.' || t_[p_] == 'e' ||
                                t_[p_] == 'E' || t_[p_] == '+' || t_[p_] == '-')) {
        ++p_;
      }
      v.kind_ = Json::Kind::Number;
      v.number_ = std::strtod(t_.substr(start, p_ - start).c_str(), nullptr);
    }
    return v;
  }

  unsigned hex4() {
    if (p_ + 4 > t_.size()) fail("short \\u escape");
    unsigned u = 0;
    for (int i = 0; i < 4; ++i) {
      const char h = t_[p_++];
      u <<= 4;
      if (h >= '0' && h <= '9') u |= static_cast<unsigned>(h - '0');
      else if (h >= 'a' && h <= 'f') u |= static_cast<unsigned>(h - 'a' + 10);
      else if (h >= 'A' && h <= 'F') u |= static_cast<unsigned>(h - 'A' + 10);
      else fail("bad \\u escape");
    }
    return u;
  }

  static void utf8(std::string& out, unsigned cp) {
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (cp >> 18));
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }

  std::string string() {
    ++p_;  // the opening quote
    std::string out;
    for (;;) {
      if (p_ >= t_.size()) fail("unterminated string");
      const char c = t_[p_++];
      if (c == '"') return out;
      if (static_cast<unsigned char>(c) < 0x20) fail("control character in a string");
      if (c != '\\') {
        out += c;
        continue;
      }
      if (p_ >= t_.size()) fail("unterminated escape");
      const char e = t_[p_++];
      switch (e) {
        case '"': out += '"'; break;
        case '\\': out += '\\'; break;
        case '/': out += '/'; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'u': {
          unsigned cp = hex4();
          if (cp >= 0xD800 && cp < 0xDC00 && word("\\u")) cp = 0x10000 + ((cp - 0xD800) << 10) + (hex4() - 0xDC00);
          utf8(out, cp);
          break;
        }
        default: fail("bad escape");
      }
    }
  }

  const std::string& t_;
  size_t p_ = 0;
};

Json Json::parse(const std::string& text) { return JsonParser(text).document(); }

bool Json::has(const std::string& key) const { return kind_ == Kind::Object && members_.count(key) != 0; }

const Json& Json::operator[](const std::string& key) const {
  if (kind_ != Kind::Object) throw std::runtime_error("JSON: not an object where '" + key + "' was looked up");
  const auto it = members_.find(key);
  if (it == members_.end()) throw std::runtime_error("JSON: no member '" + key + "'");
  return it->second;
}

const Json& Json::operator[](size_t index) const {
  if (kind_ != Kind::Array || index >= items_.size()) throw std::runtime_error("JSON: no element " + std::to_string(index));
  return items_[index];
}

size_t Json::size() const { return kind_ == Kind::Array ? items_.size() : members_.size(); }

const std::string& Json::str() const {
  if (kind_ != Kind::String) throw std::runtime_error("JSON: not a string");
  return string_;
}

int64_t Json::integer() const {
  if (kind_ != Kind::Number || std::floor(number_) != number_) throw std::runtime_error("JSON: not a whole number");
  return static_cast<int64_t>(number_);
}

bool Json::boolean() const {
  if (kind_ != Kind::Bool) throw std::runtime_error("JSON: not true or false");
  return bool_;
}

std::vector<std::string> Json::strings() const {
  std::vector<std::string> out;
  for (size_t i = 0; i < size(); ++i) out.push_back((*this)[i].str());
  return out;
}

}  // namespace vellicor::testing
