// The main window: its controls created in tab order at their places in twips (all but
// lblProgress inside the sunken panel picMain), their notifications handed to the logic, message
// boxes and the save-file dialog, closing asked of the logic.
#include "winui/win32_main_window.h"

#include <commctrl.h>
#include <commdlg.h>

#include <vector>

#include "engine/run_host.h"
#include "text/wide_windows.h"

namespace vellicor::winui {

namespace {

constexpr wchar_t kClassName[] = L"VellicorFrmMain";
constexpr TwipsRect kClient{0, 0, 6630, 5520};
constexpr TwipsRect kPanel{120, 120, 6375, 4995};
constexpr int kComboListRows = 12;      // rows of a dropped-down combo list
constexpr size_t kPathBuffer = 32768;   // characters of the save dialog's file name

// Control ids in tab order; IDOK and IDCANCEL (what Enter and Escape send) stand for none.
enum Id : int {
  cmbDBQId = 100,
  txtUIDId,
  txtPassId,
  chkTableId,
  chkViewId,
  chkSynonymId,
  chkSeqId,
  cmbTablesPatternId,
  cmdSyutokuId,
  cmdSaveFilenameId,
  Command1Id,
  txtSyutokuTablesId,
  lblProgressId,
  lblsaveFilenameId,
  Label1_2Id,
  Label1_1Id,
  lblSyutokuId,
  lblSyutokuCountId,
  Label1_0Id,
  Label1_3Id,
  Label2Id,
  lblTableId,
  picMainId,
};

form::Answer answerOf(int id, bool cancelOffered) {
  if (id == IDYES) return form::Answer::Yes;
  if (id == IDNO || !cancelOffered) return form::Answer::No;
  return form::Answer::Cancel;
}

}  // namespace

MainWindow::MainWindow(form::FormSetup setup, MessageLoop& loop) : loop_(loop), dialog_(loop) {
  registerFormClass(kClassName, true);
  const int dpi = screenDpi();
  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
  RECT frame = pixelsOf(kClient, dpi);
  AdjustWindowRectEx(&frame, style, FALSE, 0);
  hwnd_ = CreateWindowExW(0, kClassName, text::widen("Vellicor変換").c_str(), style, CW_USEDEFAULT, CW_USEDEFAULT,
                          frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                          GetModuleHandleW(nullptr), nullptr);
  SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(windowProc));
  labels_ = FittedLabels(hwnd_);
  buildControls();
  loop_.addForm(hwnd_);
  form_ = std::make_unique<form::MainForm>(std::move(setup), *this, dialog_.form());
  form_->load();
}

MainWindow::~MainWindow() {
  form_.reset();
  if (IsWindow(hwnd_)) DestroyWindow(hwnd_);
}

void MainWindow::show() {
  ShowWindow(hwnd_, SW_SHOW);
  UpdateWindow(hwnd_);
  SetFocus(control(form::Control::cmbDBQ));
}

void MainWindow::buildControls() {
  const int dpi = screenDpi();
  // Positions inside the panel count from the inside of its sunken edge.
  const RECT panel = pixelsOf(kPanel, dpi);
  const int edge = GetSystemMetrics(SM_CXEDGE);
  const int line = formFontLineHeight();
  struct Spec {
    int id;
    const wchar_t* cls;
    const char* caption;
    DWORD style;
    DWORD exStyle;
    TwipsRect place;
    bool inPanel;
  };
  const DWORD tab = WS_TABSTOP;
  const DWORD check = tab | BS_AUTOCHECKBOX;
  const DWORD button = tab | BS_PUSHBUTTON;
  const DWORD edit = tab | ES_AUTOHSCROLL;
  const DWORD caption = SS_RIGHT | SS_CENTERIMAGE | SS_NOPREFIX;
  // Created in tab order; the panel last, under every control it holds.
  const Spec specs[] = {
      {cmbDBQId, L"COMBOBOX", "", tab | CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL, 0, {1800, 240, 2175, 300}, true},
      {txtUIDId, L"EDIT", "", edit, WS_EX_CLIENTEDGE, {1800, 600, 2175, 270}, true},
      {txtPassId, L"EDIT", "", edit | ES_PASSWORD, WS_EX_CLIENTEDGE, {1800, 960, 2175, 270}, true},
      {chkTableId, L"BUTTON", "テーブル", check, 0, {1800, 1440, 1215, 255}, true},
      {chkViewId, L"BUTTON", "ビュー", check, 0, {3240, 1440, 1095, 255}, true},
      {chkSynonymId, L"BUTTON", "シノニム", check, 0, {4560, 1440, 1095, 255}, true},
      {chkSeqId, L"BUTTON", "シーケンス", check, 0, {1800, 1740, 1455, 255}, true},
      {cmbTablesPatternId, L"COMBOBOX", "", tab | CBS_DROPDOWNLIST | WS_VSCROLL, 0, {1800, 2160, 2535, 300}, true},
      {cmdSyutokuId, L"BUTTON", "オブジェクト選択", button, 0, {1800, 2640, 1695, 315}, true},
      {cmdSaveFilenameId, L"BUTTON", "参照...", button, 0, {720, 4140, 855, 255}, true},
      {Command1Id, L"BUTTON", "実 行", button, 0, {4680, 4500, 1575, 375}, true},
      {txtSyutokuTablesId, L"EDIT", "", edit, WS_EX_CLIENTEDGE, {1800, 3420, 4455, 270}, true},
      {lblProgressId, L"STATIC", "", SS_LEFTNOWORDWRAP | SS_NOPREFIX | SS_NOTIFY, 0, {360, 5160, 5655, 255}, false},
      {lblsaveFilenameId, L"STATIC", "", SS_LEFT | SS_EDITCONTROL | SS_NOPREFIX | SS_NOTIFY, 0,
       {1800, 3780, 4455, 495}, true},
      {Label1_2Id, L"STATIC", "出力先：", caption, 0, {600, 3780, 1005, 255}, true},
      {Label1_1Id, L"STATIC", "ユーザ：", caption, 0, {720, 600, 1005, 255}, true},
      {lblSyutokuId, L"STATIC", "取得パターン：", caption | SS_NOTIFY, 0, {0, 2160, 1725, 255}, true},
      {lblSyutokuCountId, L"STATIC", "取得オブジェクトカウント", SS_LEFTNOWORDWRAP | SS_NOPREFIX, 0,
       {1800, 3060, 2160, 180}, true},
      {Label1_0Id, L"STATIC", "サーバ：", caption, 0, {720, 240, 1005, 255}, true},
      {Label1_3Id, L"STATIC", "パスワード：", caption, 0, {600, 960, 1125, 255}, true},
      {Label2Id, L"STATIC", "対象オブジェクト：", caption, 0, {0, 1440, 1725, 255}, true},
      {lblTableId, L"STATIC", "", SS_LEFTNOWORDWRAP | SS_NOPREFIX | SS_NOTIFY, 0, {240, 4620, 4335, 255}, true},
      {picMainId, L"STATIC", "", WS_CLIPSIBLINGS, WS_EX_CLIENTEDGE, {120, 120, 6375, 4995}, false},
  };
  for (const Spec& s : specs) {
    RECT r = pixelsOf(s.place, dpi);
    if (s.inPanel) OffsetRect(&r, panel.left + edge, panel.top + edge);
    const bool isLabel = s.cls == std::wstring_view(L"STATIC") && s.id != picMainId;
    // A label lower than the font's line would cut its glyphs: it grows downwards.
    if (isLabel && r.bottom - r.top < line) r.bottom = r.top + line;
    // A combo box's height includes its dropped-down list.
    if (s.cls == std::wstring_view(L"COMBOBOX")) r.bottom = r.top + line * kComboListRows;
    DWORD style = s.style | WS_CLIPSIBLINGS;
    controls_[s.id] = createControl(hwnd_, s.cls, s.caption, style, s.exStyle, s.id, r);
  }
  SendMessageW(controls_[chkTableId], BM_SETCHECK, BST_CHECKED, 0);
  SendMessageW(controls_[txtPassId], EM_SETPASSWORDCHAR, L'*', 0);
  // A selection of many objects is far longer than an edit box's default limit.
  SendMessageW(controls_[txtSyutokuTablesId], EM_SETLIMITTEXT, 0x7FFFFFFE, 0);
  labels_.add(controls_[lblTableId], form::textFitOf(form::Control::lblTable));
  labels_.add(controls_[lblProgressId], form::textFitOf(form::Control::lblProgress));
  labels_.add(controls_[lblsaveFilenameId], form::textFitOf(form::Control::lblsaveFilename));
}

HWND MainWindow::control(form::Control c) const {
  using form::Control;
  int id = picMainId;
  switch (c) {
    case Control::cmbDBQ: id = cmbDBQId; break;
    case Control::txtUID: id = txtUIDId; break;
    case Control::txtPass: id = txtPassId; break;
    case Control::chkTable: id = chkTableId; break;
    case Control::chkView: id = chkViewId; break;
    case Control::chkSynonym: id = chkSynonymId; break;
    case Control::chkSeq: id = chkSeqId; break;
    case Control::cmbTablesPattern: id = cmbTablesPatternId; break;
    case Control::txtSyutokuTables: id = txtSyutokuTablesId; break;
    case Control::lblSyutoku: id = lblSyutokuId; break;
    case Control::lblSyutokuCount: id = lblSyutokuCountId; break;
    case Control::lblsaveFilename: id = lblsaveFilenameId; break;
    case Control::lblTable: id = lblTableId; break;
    case Control::lblProgress: id = lblProgressId; break;
    case Control::lstExport:
    case Control::lstSyutoku: return nullptr;  // the dialog's
  }
  return controls_.at(id);
}

std::string MainWindow::text(form::Control c) {
  if (c == form::Control::lstExport || c == form::Control::lstSyutoku) return {};
  if (form::textFitOf(c) != form::TextFit::Cut) return labels_.whole(control(c));
  return windowText(control(c));
}

void MainWindow::setText(form::Control c, const std::string& text) {
  if (c == form::Control::lstExport || c == form::Control::lstSyutoku) return;
  if (form::textFitOf(c) != form::TextFit::Cut) return labels_.setText(control(c), text);
  setWindowText(control(c), text);
}

int MainWindow::checkValue(form::Control c) {
  switch (SendMessageW(control(c), BM_GETCHECK, 0, 0)) {
    case BST_CHECKED: return 1;
    case BST_INDETERMINATE: return 2;
    default: return 0;
  }
}

void MainWindow::setFocus(form::Control c) {
  if (c == form::Control::lstExport || c == form::Control::lstSyutoku) return dialog_.setFocus(c);
  SetFocus(control(c));
}

std::vector<std::string> MainWindow::items(form::Control c) {
  if (c == form::Control::lstExport || c == form::Control::lstSyutoku) return dialog_.items(c);
  HWND box = control(c);
  const int n = static_cast<int>(SendMessageW(box, CB_GETCOUNT, 0, 0));
  std::vector<std::string> out;
  std::wstring s;
  for (int i = 0; i < n; ++i) {
    s.assign(static_cast<size_t>(SendMessageW(box, CB_GETLBTEXTLEN, i, 0)) + 1, L'\0');
    s.resize(static_cast<size_t>(SendMessageW(box, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(s.data()))));
    out.push_back(text::narrow(s));
  }
  return out;
}

void MainWindow::setItems(form::Control c, const std::vector<std::string>& entries) {
  if (c == form::Control::lstExport || c == form::Control::lstSyutoku) return dialog_.setItems(c, entries);
  HWND box = control(c);
  // Replacing the list leaves the edit field as it was.
  const std::string field = windowText(box);
  SendMessageW(box, CB_RESETCONTENT, 0, 0);
  addItems(c, entries);
  if ((GetWindowLongW(box, GWL_STYLE) & 0x3) == CBS_DROPDOWN) setWindowText(box, field);
}

void MainWindow::addItems(form::Control c, const std::vector<std::string>& entries) {
  if (c == form::Control::lstExport || c == form::Control::lstSyutoku) return dialog_.addItems(c, entries);
  HWND box = control(c);
  for (const std::string& e : entries) SendMessageW(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text::widen(e).c_str()));
}

int MainWindow::currentIndex(form::Control c) {
  const LRESULT i = SendMessageW(control(c), CB_GETCURSEL, 0, 0);
  return i == CB_ERR ? -1 : static_cast<int>(i);
}

void MainWindow::setCurrentIndex(form::Control c, int index) { SendMessageW(control(c), CB_SETCURSEL, index, 0); }

int MainWindow::box(const std::string& text, const std::string& caption, UINT type) {
  const std::string title = caption.empty() ? engine::kProgramTitle : caption;
  return MessageBoxW(hwnd_, text::widen(text).c_str(), text::widen(title).c_str(), type | MB_APPLMODAL);
}

void MainWindow::messageBox(const std::string& text, const std::string& caption) { box(text, caption, MB_OK); }

form::Answer MainWindow::askYesNo(const std::string& text, const std::string& caption) {
  // A box closed without an answer counts as No.
  return answerOf(box(text, caption, MB_YESNO), false);
}

form::Answer MainWindow::askYesNoCancel(const std::string& text, const std::string& caption) {
  return answerOf(box(text, caption, MB_YESNOCANCEL), true);
}

std::optional<std::string> MainWindow::chooseSaveFile(const form::SaveFileRequest& request) {
  std::wstring file(kPathBuffer, L'\0');
  std::wstring folder;
  std::wstring initial = text::widen(request.initialPath);
  for (wchar_t& ch : initial) {
    if (ch == L'/') ch = L'\\';
  }
  if (!initial.empty()) {
    // Opened in the folder of the initial name with that name in the field.
    const size_t sep = initial.find_last_of(L'\\');
    const std::wstring name = sep == std::wstring::npos ? initial : initial.substr(sep + 1);
    if (sep != std::wstring::npos) folder = initial.substr(0, sep == 2 && initial[1] == L':' ? sep + 1 : sep);
    name.copy(file.data(), std::min(name.size(), kPathBuffer - 1));
  }
  // "description\0pattern\0\0"
  const std::wstring description = text::widen(request.filterDescription);
  const std::wstring pattern = text::widen(request.filterPattern);
  std::wstring filter = description + L'\0' + pattern + L'\0' + L'\0';
  const std::wstring title = text::widen(request.title);
  std::wstring suffix = text::widen(request.defaultSuffix);
  if (!suffix.empty() && suffix[0] == L'.') suffix.erase(0, 1);

  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof(ofn);
  ofn.hwndOwner = hwnd_;
  ofn.lpstrFilter = filter.c_str();
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = file.data();
  ofn.nMaxFile = static_cast<DWORD>(file.size());
  ofn.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
  ofn.lpstrTitle = title.empty() ? nullptr : title.c_str();
  ofn.lpstrDefExt = suffix.empty() ? nullptr : suffix.c_str();
  // The dialog never asks about replacing a file: the logic does.
  ofn.Flags = OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
  if (!GetSaveFileNameW(&ofn)) return std::nullopt;
  file.resize(wcsnlen(file.c_str(), file.size()));
  if (file.empty()) return std::nullopt;
  return text::narrow(file);
}

void MainWindow::paintNow(form::Control c) {
  HWND w = control(c);
  if (!w) return;
  InvalidateRect(w, nullptr, TRUE);
  UpdateWindow(w);
}

LRESULT CALLBACK MainWindow::windowProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(w, GWLP_USERDATA));
  if (!self) return DefWindowProcW(w, msg, wp, lp);
  return self->onMessage(msg, wp, lp);
}

LRESULT MainWindow::onMessage(UINT msg, WPARAM wp, LPARAM lp) {
  if (loop_.handle(hwnd_, msg, wp)) return 0;
  switch (msg) {
    case WM_COMMAND:
      onCommand(LOWORD(wp), HIWORD(wp));
      return 0;
    case WM_NOTIFY: {
      auto* hdr = reinterpret_cast<NMHDR*>(lp);
      if (hdr->code == TTN_GETDISPINFOW) {
        auto* info = reinterpret_cast<NMTTDISPINFOW*>(lp);
        info->lpszText = const_cast<wchar_t*>(labels_.tipOf(reinterpret_cast<HWND>(hdr->idFrom)).c_str());
        return 0;
      }
      break;
    }
    case WM_CLOSE:
      // While work runs the window closes once it has ended.
      if (!form_ || form_->closeRequested()) DestroyWindow(hwnd_);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(hwnd_, msg, wp, lp);
}

void MainWindow::onCommand(int id, int code) {
  if (!form_) return;  // notifications of the start-up steps' own changes
  switch (id) {
    case Command1Id: if (code == BN_CLICKED) form_->runClicked(); break;
    case cmdSaveFilenameId: if (code == BN_CLICKED) form_->saveFileClicked(); break;
    case cmdSyutokuId: if (code == BN_CLICKED) form_->selectObjectsClicked(); break;
    case cmbTablesPatternId: if (code == CBN_SELCHANGE) form_->patternChosen(); break;
    case txtSyutokuTablesId: if (code == EN_CHANGE) form_->selectionTextChanged(); break;
    default: break;  // IDOK and IDCANCEL: neither Enter nor Escape stands for a button here
  }
}

}  // namespace vellicor::winui
