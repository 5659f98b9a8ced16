// The ODBC declarations of this system: unixODBC's sql.h and sqlext.h, or Windows' odbc32 ones,
// which need <windows.h> before them. Every file of the ODBC layer includes these through here.
#pragma once

#ifdef _WIN32
#include <windows.h>
#endif
#include <sql.h>
#include <sqlext.h>
