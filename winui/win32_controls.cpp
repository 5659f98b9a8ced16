// Building the Win32 forms: twips converted with the screen's resolution, the font of the
// forms, child controls, UTF-8 texts at the UTF-16 border, and the fitted labels' measuring.
#include "winui/win32_controls.h"

#include <commctrl.h>

#include <cmath>
#include <vector>

#include "text/wide_windows.h"

namespace vellicor::winui {

namespace {

constexpr int kFontPoints = 9;
constexpr int kTwipsPerInch = 1440;
constexpr int kPointsPerInch = 72;
constexpr int kTooltipWidth = 600;  // pixels: longer tips wrap

}  // namespace

int screenDpi() {
  HDC dc = GetDC(nullptr);
  const int dpi = GetDeviceCaps(dc, LOGPIXELSX);
  ReleaseDC(nullptr, dc);
  return dpi > 0 ? dpi : 96;
}

int twipsToPixels(int twips, int dpi) {
  return static_cast<int>(std::lround(static_cast<double>(twips) * dpi / kTwipsPerInch));
}

RECT pixelsOf(const TwipsRect& r, int dpi) {
  const int l = twipsToPixels(r.left, dpi), t = twipsToPixels(r.top, dpi);
  return RECT{l, t, l + twipsToPixels(r.width, dpi), t + twipsToPixels(r.height, dpi)};
}

HFONT formFont() {
  static HFONT font = CreateFontW(-MulDiv(kFontPoints, screenDpi(), kPointsPerInch), 0, 0, 0, FW_NORMAL, FALSE,
                                  FALSE, FALSE, SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                  DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"MS UI Gothic");
  return font;
}

int formFontLineHeight() {
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, formFont());
  TEXTMETRICW tm{};
  GetTextMetricsW(dc, &tm);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  return tm.tmHeight;
}

void registerFormClass(const wchar_t* className, bool withIcon) {
  WNDCLASSEXW existing{};
  existing.cbSize = sizeof(existing);
  if (GetClassInfoExW(GetModuleHandleW(nullptr), className, &existing)) return;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  if (withIcon) wc.hIcon = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = className;
  RegisterClassExW(&wc);
}

HWND createControl(HWND parent, const wchar_t* windowClass, const std::string& caption, DWORD style, DWORD exStyle,
                   int id, RECT r) {
  HWND w = CreateWindowExW(exStyle, windowClass, text::widen(caption).c_str(), WS_CHILD | WS_VISIBLE | style,
                           r.left, r.top, r.right - r.left, r.bottom - r.top, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
  SendMessageW(w, WM_SETFONT, reinterpret_cast<WPARAM>(formFont()), FALSE);
  return w;
}

std::string windowText(HWND w) {
  std::wstring s(static_cast<size_t>(GetWindowTextLengthW(w)) + 1, L'\0');
  s.resize(static_cast<size_t>(GetWindowTextW(w, s.data(), static_cast<int>(s.size()))));
  return text::narrow(s);
}

void setWindowText(HWND w, const std::string& text) { SetWindowTextW(w, text::widen(text).c_str()); }

void FittedLabels::addTool(HWND control) {
  if (!tooltip_) {
    tooltip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, form_, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
    SendMessageW(tooltip_, TTM_SETMAXTIPWIDTH, 0, kTooltipWidth);
    SendMessageW(tooltip_, WM_SETFONT, reinterpret_cast<WPARAM>(formFont()), FALSE);
  }
  TTTOOLINFOW ti{};
  ti.cbSize = sizeof(ti);
  ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  ti.hwnd = form_;
  ti.uId = reinterpret_cast<UINT_PTR>(control);
  ti.lpszText = LPSTR_TEXTCALLBACKW;
  SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
}

void FittedLabels::add(HWND label, form::TextFit fit) {
  entries_[label].fit = fit;
  addTool(label);
}

bool FittedLabels::fits(HWND label, const std::string& text) const {
  RECT client{};
  GetClientRect(label, &client);
  const std::wstring w = text::widen(text);
  HDC dc = GetDC(label);
  HGDIOBJ old = SelectObject(dc, formFont());
  bool ok;
  if (GetWindowLongW(label, GWL_STYLE) & SS_EDITCONTROL) {
    // A wrapping label: the lines the text takes must fit its height.
    RECT r = client;
    DrawTextW(dc, w.c_str(), static_cast<int>(w.size()), &r,
              DT_CALCRECT | DT_WORDBREAK | DT_EDITCONTROL | DT_NOPREFIX);
    ok = r.bottom - r.top <= client.bottom - client.top;
  } else {
    SIZE size{};
    GetTextExtentPoint32W(dc, w.c_str(), static_cast<int>(w.size()), &size);
    ok = size.cx <= client.right - client.left;
  }
  SelectObject(dc, old);
  ReleaseDC(label, dc);
  return ok;
}

void FittedLabels::setText(HWND label, const std::string& text) {
  Entry& e = entries_[label];
  e.whole = text;
  const std::string shown = form::fitText(text, e.fit, [&](const std::string& s) { return fits(label, s); });
  e.shortened = shown != text;
  setWindowText(label, shown);
}

std::string FittedLabels::whole(HWND label) const {
  const auto it = entries_.find(label);
  return it == entries_.end() ? windowText(label) : it->second.whole;
}

void FittedLabels::setToolTip(HWND control, const std::string& tip) {
  if (entries_.find(control) == entries_.end()) addTool(control);
  entries_[control].tip = text::widen(tip);
}

const std::wstring& FittedLabels::tipOf(HWND control) {
  Entry& e = entries_[control];
  e.shown = e.shortened ? text::widen(e.whole) : e.tip;
  return e.shown;
}

}  // namespace vellicor::winui
