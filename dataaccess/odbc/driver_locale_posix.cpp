// The UTF-8 character type for unixODBC's conversions to ANSI-only drivers: a thread-local locale
// (newlocale/uselocale), put back when the handle is allocated.
#include "dataaccess/odbc/driver_locale.h"

#include <locale.h>

#include <initializer_list>

namespace vellicor::odbc {

DriverCharacterType::DriverCharacterType() {
  locale_t utf8 = static_cast<locale_t>(0);
  for (const char* name : {"C.UTF-8", "C.utf8", "en_US.UTF-8"}) {
    utf8 = newlocale(LC_CTYPE_MASK, name, static_cast<locale_t>(0));
    if (utf8 != static_cast<locale_t>(0)) break;
  }
  if (utf8 == static_cast<locale_t>(0)) return;
  chosen_ = utf8;
  previous_ = uselocale(utf8);
}

DriverCharacterType::~DriverCharacterType() {
  if (chosen_ == nullptr) return;
  uselocale(static_cast<locale_t>(previous_));
  freelocale(static_cast<locale_t>(chosen_));
}

}  // namespace vellicor::odbc
