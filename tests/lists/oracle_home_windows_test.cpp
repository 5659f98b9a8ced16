// Windows only: NET80 is read from HKEY_LOCAL_MACHINE\SOFTWARE\ORACLE in the program's registry view
// and else in the other one (where a client of the other width writes it), and the server list is
// found below it. Run under Wine, whose registry takes the values.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>

#include "lists/tnsnames.h"
#include "text/utf8_path.h"
#include "text/wide_windows.h"

namespace vellicor::lists {
namespace {

#ifdef _WIN64
constexpr REGSAM kOwnView = KEY_WOW64_64KEY, kOtherView = KEY_WOW64_32KEY;
#else
constexpr REGSAM kOwnView = KEY_WOW64_32KEY, kOtherView = KEY_WOW64_64KEY;
#endif

void setNet80(REGSAM view, const std::string& value) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\ORACLE", 0, nullptr, 0, KEY_SET_VALUE | view, nullptr, &key,
                            nullptr),
            ERROR_SUCCESS);
  const std::wstring wide = text::widen(value);
  ASSERT_EQ(RegSetValueExW(key, L"NET80", 0, REG_SZ, reinterpret_cast<const BYTE*>(wide.c_str()),
                           static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t))),
            ERROR_SUCCESS);
  RegCloseKey(key);
}

void removeNet80(REGSAM view) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\ORACLE", 0, KEY_SET_VALUE | view, &key) != ERROR_SUCCESS) return;
  RegDeleteValueW(key, L"NET80");
  RegCloseKey(key);
}

class OracleHomeWindows : public ::testing::Test {
 protected:
  void SetUp() override {
    removeNet80(kOwnView);
    removeNet80(kOtherView);
    root_ = std::filesystem::temp_directory_path() / text::pathFromUtf8("vellicor-net80-テスト");
    std::filesystem::create_directories(root_ / "admin");
    std::ofstream(root_ / "admin" / "TNSNAMES.ORA")
        << "ORCL.WORLD =\n  (DESCRIPTION =\n    (ADDRESS = (PROTOCOL = TCP)(HOST = db)(PORT = 1521))\n  )\n";
  }
  void TearDown() override {
    removeNet80(kOwnView);
    removeNet80(kOtherView);
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }
  std::filesystem::path root_;
};

TEST_F(OracleHomeWindows, Net80OfEitherViewLeadsToTheServerList) {
  EXPECT_EQ(OracleClientEnv::fromProcess().net80, "");
  // A client of the other width only (a 32-bit client on 64-bit Windows, for the 64-bit program).
  const std::string folder = text::utf8FromPath(root_);
  setNet80(kOtherView, folder);
  const OracleClientEnv env = OracleClientEnv::fromProcess();
  EXPECT_EQ(env.net80, folder);
  EXPECT_EQ(readServerList(env), (std::vector<std::string>{"ORCL"}));
  // The program's own view wins when both have it.
  setNet80(kOwnView, folder + "\\own");
  EXPECT_EQ(OracleClientEnv::fromProcess().net80, folder + "\\own");
}

}  // namespace
}  // namespace vellicor::lists
