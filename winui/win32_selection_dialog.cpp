// The selection dialog's window: controls at their places in twips, tab order by creation, the
// list boxes as the dialog's logic reads and fills them, the close box acting as "キャンセル".
#include "winui/win32_selection_dialog.h"

#include <algorithm>
#include <tuple>

#include "text/wide_windows.h"
#include "winui/win32_controls.h"

namespace vellicor::winui {

namespace {

constexpr wchar_t kClassName[] = L"VellicorFrmSyutoku";
constexpr TwipsRect kClient{0, 0, 11055, 4965};

// Control ids; IDOK and IDCANCEL (what Enter and Escape send) stand for no control here.
enum Id : int {
  lstExportId = 100,
  lstSyutokuId,
  cmdCancelId,
  cmdAccpetId,
  cmdToSyutokuId,
  cmdToExportId,
  cmdToSyutokuAllId,
  cmdToExportAllId,
  label1Id,
  label2Id,
};

}  // namespace

SelectionDialog::SelectionDialog(MessageLoop& loop) : loop_(loop), form_(*this) {
  registerFormClass(kClassName, false);
  const int dpi = screenDpi();
  const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
  const DWORD exStyle = WS_EX_DLGMODALFRAME;
  RECT frame = pixelsOf(kClient, dpi);
  AdjustWindowRectEx(&frame, style, FALSE, exStyle);
  hwnd_ = CreateWindowExW(exStyle, kClassName, text::widen("オブジェクト選択").c_str(), style, CW_USEDEFAULT,
                          CW_USEDEFAULT, frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                          GetModuleHandleW(nullptr), nullptr);
  SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(windowProc));

  // Created in tab order.
  const DWORD listStyle = WS_TABSTOP | WS_VSCROLL | LBS_SORT | LBS_EXTENDEDSEL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT |
                          LBS_HASSTRINGS;
  const DWORD button = WS_TABSTOP | BS_PUSHBUTTON;
  lstExport_ = createControl(hwnd_, L"LISTBOX", "", listStyle, WS_EX_CLIENTEDGE, lstExportId,
                             pixelsOf({120, 480, 5055, 3840}, dpi));
  lstSyutoku_ = createControl(hwnd_, L"LISTBOX", "", listStyle, WS_EX_CLIENTEDGE, lstSyutokuId,
                              pixelsOf({5880, 480, 5055, 3840}, dpi));
  createControl(hwnd_, L"BUTTON", "キャンセル", button, 0, cmdCancelId, pixelsOf({8520, 4440, 1095, 375}, dpi));
  createControl(hwnd_, L"BUTTON", "決 定", button, 0, cmdAccpetId, pixelsOf({9840, 4440, 1095, 375}, dpi));
  createControl(hwnd_, L"BUTTON", ">", button, 0, cmdToSyutokuId, pixelsOf({5280, 1800, 495, 255}, dpi));
  createControl(hwnd_, L"BUTTON", "<", button, 0, cmdToExportId, pixelsOf({5280, 2520, 495, 255}, dpi));
  createControl(hwnd_, L"BUTTON", ">>", button, 0, cmdToSyutokuAllId, pixelsOf({5280, 1320, 495, 255}, dpi));
  createControl(hwnd_, L"BUTTON", "<<", button, 0, cmdToExportAllId, pixelsOf({5280, 3000, 495, 255}, dpi));
  // The captions grow downwards to the font's line rather than cut their glyphs.
  const int line = formFontLineHeight();
  for (auto [caption, id, place] : {std::tuple{"選択可能オブジェクト", label1Id, TwipsRect{120, 240, 1800, 180}},
                                    std::tuple{"取得オブジェクト", label2Id, TwipsRect{5880, 240, 1440, 180}}}) {
    RECT r = pixelsOf(place, dpi);
    if (r.bottom - r.top < line) r.bottom = r.top + line;
    createControl(hwnd_, L"STATIC", caption, SS_LEFTNOWORDWRAP | SS_NOPREFIX, 0, id, r);
  }
  loop_.addForm(hwnd_);
}

SelectionDialog::~SelectionDialog() {
  if (IsWindow(hwnd_)) DestroyWindow(hwnd_);
}

void SelectionDialog::showModal(HWND owner) {
  // Owned by the main window (stays above it) and centred over it.
  SetWindowLongPtrW(hwnd_, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(owner));
  RECT o{}, d{};
  GetWindowRect(owner, &o);
  GetWindowRect(hwnd_, &d);
  int x = (o.left + o.right - (d.right - d.left)) / 2;
  int y = (o.top + o.bottom - (d.bottom - d.top)) / 2;
  // Kept whole on the main window's screen.
  MONITORINFO screen{};
  screen.cbSize = sizeof(screen);
  if (GetMonitorInfoW(MonitorFromWindow(owner, MONITOR_DEFAULTTONEAREST), &screen)) {
    const RECT& area = screen.rcWork;
    x = std::max(static_cast<int>(area.left), std::min(x, static_cast<int>(area.right - (d.right - d.left))));
    y = std::max(static_cast<int>(area.top), std::min(y, static_cast<int>(area.bottom - (d.bottom - d.top))));
  }
  SetWindowPos(hwnd_, HWND_TOP, x, y, 0, 0, SWP_NOSIZE);
  hidden_ = false;
  EnableWindow(owner, FALSE);
  ShowWindow(hwnd_, SW_SHOW);
  SetForegroundWindow(hwnd_);
  SetFocus(lstExport_);
  loop_.runUntil(hidden_);
  EnableWindow(owner, TRUE);
  if (IsWindow(owner)) SetActiveWindow(owner);
}

void SelectionDialog::hideDialog() {
  hidden_ = true;
  ShowWindow(hwnd_, SW_HIDE);
}

std::vector<std::string> SelectionDialog::items(form::Control c) {
  HWND l = list(c);
  const int n = static_cast<int>(SendMessageW(l, LB_GETCOUNT, 0, 0));
  std::vector<std::string> out;
  out.reserve(static_cast<size_t>(n > 0 ? n : 0));
  std::wstring s;
  for (int p = 0; p < n; ++p) {
    s.assign(static_cast<size_t>(SendMessageW(l, LB_GETTEXTLEN, p, 0)) + 1, L'\0');
    s.resize(static_cast<size_t>(SendMessageW(l, LB_GETTEXT, p, reinterpret_cast<LPARAM>(s.data()))));
    out.push_back(text::narrow(s));
  }
  return out;
}

void SelectionDialog::setItems(form::Control c, const std::vector<std::string>& entries) {
  HWND l = list(c);
  SendMessageW(l, WM_SETREDRAW, FALSE, 0);
  SendMessageW(l, LB_RESETCONTENT, 0, 0);
  SendMessageW(l, WM_SETREDRAW, TRUE, 0);
  addItems(c, entries);
  InvalidateRect(l, nullptr, TRUE);
}

void SelectionDialog::addItems(form::Control c, const std::vector<std::string>& entries) {
  HWND l = list(c);
  // The list is not painted while it changes: thousands of names stay quick to add.
  SendMessageW(l, WM_SETREDRAW, FALSE, 0);
  SendMessageW(l, LB_INITSTORAGE, entries.size(), 0);
  for (const std::string& e : entries) SendMessageW(l, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text::widen(e).c_str()));
  SendMessageW(l, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(l, nullptr, TRUE);
}

std::vector<bool> SelectionDialog::selection(form::Control c) {
  HWND l = list(c);
  std::vector<bool> selected(static_cast<size_t>(SendMessageW(l, LB_GETCOUNT, 0, 0)));
  const int n = static_cast<int>(SendMessageW(l, LB_GETSELCOUNT, 0, 0));
  if (n <= 0) return selected;
  std::vector<int> rows(static_cast<size_t>(n));
  const int got = static_cast<int>(SendMessageW(l, LB_GETSELITEMS, n, reinterpret_cast<LPARAM>(rows.data())));
  for (int i = 0; i < got; ++i) {
    if (rows[static_cast<size_t>(i)] >= 0 && static_cast<size_t>(rows[static_cast<size_t>(i)]) < selected.size()) {
      selected[static_cast<size_t>(rows[static_cast<size_t>(i)])] = true;
    }
  }
  return selected;
}

LRESULT CALLBACK SelectionDialog::windowProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  auto* self = reinterpret_cast<SelectionDialog*>(GetWindowLongPtrW(w, GWLP_USERDATA));
  if (!self) return DefWindowProcW(w, msg, wp, lp);
  return self->onMessage(msg, wp, lp);
}

LRESULT SelectionDialog::onMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_COMMAND:
      onCommand(LOWORD(wp), HIWORD(wp));
      return 0;
    case WM_CLOSE:
      // The close box counts as "キャンセル".
      form_.cancel();
      return 0;
    default:
      return DefWindowProcW(hwnd_, msg, wp, lp);
  }
}

void SelectionDialog::onCommand(int id, int code) {
  using form::Control;
  switch (id) {
    case cmdToSyutokuId: if (code == BN_CLICKED) form_.moveSelected(Control::lstExport); break;
    case cmdToExportId: if (code == BN_CLICKED) form_.moveSelected(Control::lstSyutoku); break;
    case cmdToSyutokuAllId: if (code == BN_CLICKED) form_.moveAll(Control::lstExport); break;
    case cmdToExportAllId: if (code == BN_CLICKED) form_.moveAll(Control::lstSyutoku); break;
    case cmdAccpetId: if (code == BN_CLICKED) form_.accept(); break;
    case cmdCancelId: if (code == BN_CLICKED) form_.cancel(); break;
    case lstExportId: if (code == LBN_DBLCLK) form_.moveSelected(Control::lstExport); break;
    case lstSyutokuId: if (code == LBN_DBLCLK) form_.moveSelected(Control::lstSyutoku); break;
    default: break;  // IDOK and IDCANCEL: neither Enter nor Escape stands for a button here
  }
}

}  // namespace vellicor::winui
