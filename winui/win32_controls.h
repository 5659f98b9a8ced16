// The pieces both Win32 forms are built of: twips as pixels, the Japanese UI font, child controls
// created at their places, their texts as UTF-8, and labels that shorten a text too long for them.
#pragma once

#include <windows.h>

#include <map>
#include <string>

#include "form/text_fit.h"

namespace vellicor::winui {

// Left, top, width and height in twips (1/1440 inch), as the form designer gives them.
struct TwipsRect {
  int left, top, width, height;
};

// The screen's logical resolution (GetDeviceCaps LOGPIXELSX).
int screenDpi();
int twipsToPixels(int twips, int dpi);
RECT pixelsOf(const TwipsRect& r, int dpi);

// The forms' font: the system's Japanese UI font at 9 points, made once.
HFONT formFont();
// The height of a line of the forms' font, in pixels.
int formFontLineHeight();

// Registers, once per name, the window class of a form: the default procedure (the form's own
// handling goes through the message loop), the arrow cursor, the dialog face colour, and the
// application icon when withIcon.
void registerFormClass(const wchar_t* className, bool withIcon);

// A child control of the given window class with the forms' font at r (pixels), moved by the
// offset of its container's inside.
HWND createControl(HWND parent, const wchar_t* windowClass, const std::string& caption, DWORD style, DWORD exStyle,
                   int id, RECT r);

// The text of a window as UTF-8, and its replacement.
std::string windowText(HWND w);
void setWindowText(HWND w, const std::string& text);

// Labels whose text is shortened to fit (form::fitText), with the whole text as tooltip, and
// explicit tooltips of other controls; one tooltip window per form.
class FittedLabels {
 public:
  // The tooltip window of form (TOOLTIPS_CLASS), made on the first use.
  explicit FittedLabels(HWND form) : form_(form) {}

  // Registers label as fitting its texts as fit says (Cut: shown as it is).
  void add(HWND label, form::TextFit fit);
  // Shows text in a label added before (shortened if it must be); whole() gives it back whole.
  void setText(HWND label, const std::string& text);
  std::string whole(HWND label) const;
  // The tooltip of a control; a shortened label shows its whole text instead.
  void setToolTip(HWND control, const std::string& tip);
  // The text of the tooltip that control shows now ("" for none); answers TTN_GETDISPINFOW.
  const std::wstring& tipOf(HWND control);

 private:
  struct Entry {
    form::TextFit fit = form::TextFit::Cut;
    std::string whole;
    bool shortened = false;
    std::wstring tip;   // the explicit tooltip
    std::wstring shown; // what the tooltip shows now
  };
  void addTool(HWND control);
  bool fits(HWND label, const std::string& text) const;

  HWND form_;
  HWND tooltip_ = nullptr;
  std::map<HWND, Entry> entries_;
};

}  // namespace vellicor::winui
