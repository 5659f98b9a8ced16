// The Windows window program: common controls, the process's resolution awareness, the console
// given back when the program was started on its own, the main window and its message loop.
#include "winui/window_main.h"

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "form/form_setup.h"
#include "text/wide_windows.h"
#include "winui/win32_main_window.h"
#include "winui/win32_message_loop.h"

namespace {

// The directory of the executable, UTF-8.
std::string programDirectory() {
  std::wstring path(32768, L'\0');
  path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
  const size_t sep = path.find_last_of(L"\\/");
  return vellicor::text::narrow(sep == std::wstring::npos ? std::wstring(L".") : path.substr(0, sep));
}

}  // namespace

int runWindow(int, char**) {
  using namespace vellicor::winui;
  // Started from Explorer, the console is the program's own: it goes away with the window open.
  DWORD processes[2];
  if (GetConsoleProcessList(processes, 2) == 1) FreeConsole();
  SetProcessDPIAware();
  INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES};
  InitCommonControlsEx(&icc);

  MessageLoop loop;
  MainWindow window(vellicor::form::FormSetup::fromProcess(programDirectory()), loop);
  window.show();
  return loop.run();
}
