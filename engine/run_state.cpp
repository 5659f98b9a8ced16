// Helpers of the run's steps: the per-object status text and the reading of counts and names.
// Counts are read as 64-bit numbers so that large tables do not overflow the display values.
#include "engine/run_state.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace vellicor::engine {

std::string objectStatusText(int64_t position, int64_t count, const std::string& objectName) {
  return "テーブル取得中..." + std::to_string(position) + "/" + std::to_string(count) + " " + objectName;
}

int64_t valueAsCount(const dao::Variant& v) {
  struct Visitor {
    std::optional<int64_t> operator()(const dao::Null&) const { return std::nullopt; }
    std::optional<int64_t> operator()(bool b) const { return b ? -1 : 0; }
    std::optional<int64_t> operator()(uint8_t x) const { return x; }
    std::optional<int64_t> operator()(int16_t x) const { return x; }
    std::optional<int64_t> operator()(int32_t x) const { return x; }
    std::optional<int64_t> operator()(int64_t x) const { return x; }
    std::optional<int64_t> operator()(float x) const { return fromDouble(x); }
    std::optional<int64_t> operator()(double x) const { return fromDouble(x); }
    std::optional<int64_t> operator()(const dao::Currency& c) const { return c.scaled / 10000; }
    std::optional<int64_t> operator()(const dao::Date&) const { return std::nullopt; }
    std::optional<int64_t> operator()(const std::string& s) const {
      if (s.empty()) return std::nullopt;
      errno = 0;
      char* end = nullptr;
      const long long n = std::strtoll(s.c_str(), &end, 10);
      if (errno == 0 && end != nullptr && *end == '\0') return n;
      char* dend = nullptr;
      const double d = std::strtod(s.c_str(), &dend);
      if (dend != nullptr && *dend == '\0') return fromDouble(d);
      return std::nullopt;
    }
    std::optional<int64_t> operator()(const dao::Bytes&) const { return std::nullopt; }
    std::optional<int64_t> operator()(const dao::Guid&) const { return std::nullopt; }
    static std::optional<int64_t> fromDouble(double d) {
      if (!std::isfinite(d) || std::fabs(d) > 9.2e18) return std::nullopt;
      return static_cast<int64_t>(std::llround(d));
    }
  };
  if (auto n = std::visit(Visitor{}, v)) return *n;
  throw dao::Error("件数 '" + dao::toDisplayText(v) + "' を数値として読めません。");
}

std::string valueAsText(const dao::Variant& v) {
  if (const auto* s = std::get_if<std::string>(&v)) return *s;
  return dao::toDisplayText(v);
}

std::string describe(const std::exception& e) {
  if (const auto* d = dynamic_cast<const dao::Error*>(&e)) return d->description();
  return e.what();
}

}  // namespace vellicor::engine
