// Throughput of the CP932 converter on short mixed Japanese/ASCII values (the shape of the text
// columns the writer converts), against calling iconv once per value as the naive way would.
#include <iconv.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "text/codepage.h"

namespace {

using Clock = std::chrono::steady_clock;

double seconds(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

std::vector<std::string> sampleValues() {
  const char* parts[] = {"\u6771\u4EAC\u90FD\u5343\u4EE3\u7530\u533A", "1-2-3", "\u30DE\u30F3\u30B7\u30E7\u30F3",
                         "ABC-0042", "\u682A\u5F0F\u4F1A\u793E", "\uFF76\uFF9D\uFF8A\uFF9F\uFF86\uFF70",
                         "EMP_NO", "\u2460", "\u5C71\u7530 \u592A\u90CE", "2024/01/31"};
  std::vector<std::string> values;
  for (int i = 0; i < 100000; ++i) {
    std::string v;
    for (int k = 0; k < 1 + i % 5; ++k) v += parts[(i * 7 + k * 3) % 10];
    values.push_back(v);
  }
  return values;
}

}  // namespace

int main() {
  const auto& cp = vellicor::text::CodePage::forId(932);
  const auto values = sampleValues();
  size_t inBytes = 0;
  for (const auto& v : values) inBytes += v.size();

  const int rounds = 10;
  std::string out;
  std::vector<std::string> encoded;
  for (const auto& v : values) {
    out.clear();
    cp.encode(v, out);
    encoded.push_back(out);
  }
  size_t sjisBytes = 0;
  for (const auto& e : encoded) sjisBytes += e.size();
  size_t substituted = 0, produced = 0;
  auto t0 = Clock::now();
  for (int r = 0; r < rounds; ++r) {
    for (const auto& v : values) {
      out.clear();
      substituted += cp.encode(v, out);
      produced += out.size();
    }
  }
  auto t1 = Clock::now();
  for (int r = 0; r < rounds; ++r)
    for (const auto& e : encoded) {
      out.clear();
      cp.decode(e, out);
    }
  auto t2 = Clock::now();

  iconv_t cd = iconv_open("CP932", "UTF-8");
  char buf[512];
  for (int r = 0; r < rounds; ++r)
    for (const auto& v : values) {
      char* ip = const_cast<char*>(v.data());
      size_t il = v.size();
      char* op = buf;
      size_t ol = sizeof buf;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
      iconv(cd, &ip, &il, &op, &ol);
    }
  auto t3 = Clock::now();
  iconv_close(cd);

  const double mb = static_cast<double>(inBytes) * rounds / 1e6;
  const double encodeS = seconds(t0, t1), decodeS = seconds(t1, t2), iconvS = seconds(t2, t3);
  const double valuesN = static_cast<double>(values.size()) * rounds;
  std::printf("values: %zu x %d, %.1f bytes average, substituted %zu, produced %zu\n", values.size(), rounds,
              static_cast<double>(inBytes) / values.size(), substituted, produced);
  std::printf("encode UTF-8 -> CP932: %8.1f MB/s  %6.2f M values/s\n", mb / encodeS, valuesN / encodeS / 1e6);
  std::printf("decode CP932 -> UTF-8: %8.1f MB/s (of UTF-8 produced)\n", mb / decodeS);
  std::printf("iconv per value:       %8.1f MB/s  -> encode is %.1fx faster\n", mb / iconvS, iconvS / encodeS);
  std::printf("bytes: UTF-8 %zu, CP932 %zu (ratio %.2f)\n", inBytes, sjisBytes,
              static_cast<double>(sjisBytes) / inBytes);
  return 0;
}
