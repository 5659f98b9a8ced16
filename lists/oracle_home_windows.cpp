// Where the Oracle client's settings come from on Windows: NET80 of HKEY_LOCAL_MACHINE\SOFTWARE\ORACLE
// in this process's registry view, else in the other one (a 32-bit client on a 64-bit system writes
// to the 32-bit view); TNS_ADMIN and ORACLE_HOME from the environment. All as UTF-8.
#include <windows.h>

#include <cstdlib>
#include <vector>

#include "lists/tnsnames.h"
#include "text/wide_windows.h"

namespace vellicor::lists {
namespace {

constexpr wchar_t kOracleKey[] = L"SOFTWARE\\ORACLE";
constexpr wchar_t kNet80Value[] = L"NET80";

// The string value (REG_SZ, or REG_EXPAND_SZ expanded) in one registry view; "" when absent.
std::string registryString(REGSAM view) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kOracleKey, 0, KEY_QUERY_VALUE | view, &key) != ERROR_SUCCESS) return "";
  std::string value;
  DWORD bytes = 0;
  // REG_SZ, and REG_EXPAND_SZ expanded (RRF_RT_REG_EXPAND_SZ is only for reading it unexpanded).
  constexpr DWORD kTypes = RRF_RT_REG_SZ;
  if (RegGetValueW(key, nullptr, kNet80Value, kTypes, nullptr, nullptr, &bytes) == ERROR_SUCCESS && bytes > 0) {
    std::vector<wchar_t> buffer(bytes / sizeof(wchar_t) + 1);
    DWORD size = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    if (RegGetValueW(key, nullptr, kNet80Value, kTypes, nullptr, buffer.data(), &size) == ERROR_SUCCESS) {
      value = text::narrow(buffer.data());
    }
  }
  RegCloseKey(key);
  return value;
}

std::string registryNet80() {
#ifdef _WIN64
  constexpr REGSAM kOtherView = KEY_WOW64_32KEY;
#else
  constexpr REGSAM kOtherView = KEY_WOW64_64KEY;
#endif
  std::string own = registryString(0);
  return own.empty() ? registryString(kOtherView) : own;
}

std::string envValue(const wchar_t* name) {
  const wchar_t* v = _wgetenv(name);
  return v ? text::narrow(v) : std::string();
}

}  // namespace

OracleClientEnv OracleClientEnv::fromProcess() {
  OracleClientEnv env;
  env.net80 = registryNet80();
  env.tnsAdmin = envValue(L"TNS_ADMIN");
  env.oracleHome = envValue(L"ORACLE_HOME");
  return env;
}

}  // namespace vellicor::lists
