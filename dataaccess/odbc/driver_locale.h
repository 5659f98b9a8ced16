// The character set in which the driver manager hands text to drivers that have only the ANSI API:
// set for the time a connection handle is allocated. One implementation per system.
#pragma once

namespace vellicor::odbc {

// While one lives, this thread's character type is UTF-8 where the driver manager takes it from the
// locale (unixODBC converts between the wide API and an ANSI-only driver, such as the SQLite one,
// with iconv from the locale's character set when the handle is allocated; in the "C" locale every
// character beyond ASCII would be cut to its low byte). Windows' driver manager uses the ANSI code
// page whatever the locale, so there it does nothing.
class DriverCharacterType {
 public:
  DriverCharacterType();
  ~DriverCharacterType();
  DriverCharacterType(const DriverCharacterType&) = delete;
  DriverCharacterType& operator=(const DriverCharacterType&) = delete;

 private:
  void* chosen_ = nullptr;
  void* previous_ = nullptr;
};

}  // namespace vellicor::odbc
