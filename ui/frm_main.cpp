// The main window: its controls at their places, their events handed to the window's logic, and
// the controls, boxes and thread as the logic sees them (the View).
#include "ui/frm_main.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCompleter>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <limits>

#include "ui/fitted_label.h"
#include "ui/frm_syutoku.h"
#include "ui/input_hold.h"
#include "ui/twips.h"
#include "ui/ui_font.h"

namespace vellicor::ui {

namespace {

QString q(const std::string& s) { return QString::fromStdString(s); }

template <typename W>
W* named(W* w, const char* name) {
  w->setObjectName(QString::fromLatin1(name));
  return w;
}

QLabel* captionLabel(QWidget* parent, const char* name, const QString& text, bool rightAligned) {
  auto* l = named(new QLabel(text, parent), name);
  l->setAlignment((rightAligned ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
  return l;
}

}  // namespace

// The window as its logic sees it.
class frmMain::View : public form::MainView {
 public:
  explicit View(frmMain& w) : w_(w) {}

  std::string text(form::Control c) override {
    QWidget* x = widget(c);
    if (auto* box = qobject_cast<QComboBox*>(x)) return box->currentText().toStdString();
    if (auto* edit = qobject_cast<QLineEdit*>(x)) return edit->text().toStdString();
    if (auto* label = qobject_cast<QLabel*>(x)) return label->text().toStdString();
    return {};
  }
  void setText(form::Control c, const std::string& text) override {
    QWidget* x = widget(c);
    if (auto* box = qobject_cast<QComboBox*>(x)) box->setEditText(q(text));
    if (auto* edit = qobject_cast<QLineEdit*>(x)) edit->setText(q(text));
    if (auto* label = qobject_cast<QLabel*>(x)) label->setText(q(text));
  }
  void setToolTip(form::Control c, const std::string& text) override { widget(c)->setToolTip(q(text)); }
  int checkValue(form::Control c) override { return frmMain::checkValue(qobject_cast<QCheckBox*>(widget(c))); }
  void setFocus(form::Control c) override { widget(c)->setFocus(); }

  std::vector<std::string> items(form::Control c) override {
    std::vector<std::string> out;
    if (auto* box = qobject_cast<QComboBox*>(widget(c))) {
      for (int i = 0; i < box->count(); ++i) out.push_back(box->itemText(i).toStdString());
    }
    return out;
  }
  void setItems(form::Control c, const std::vector<std::string>& entries) override {
    auto* box = qobject_cast<QComboBox*>(widget(c));
    const QString field = box->currentText();
    box->clear();
    addItems(c, entries);
    if (box->isEditable()) {
      // Filling the list must not put its first name into the field.
      box->setCurrentIndex(-1);
      box->setEditText(field);
    }
  }
  void addItems(form::Control c, const std::vector<std::string>& entries) override {
    auto* box = qobject_cast<QComboBox*>(widget(c));
    for (const std::string& e : entries) box->addItem(q(e));
  }
  std::vector<bool> selection(form::Control) override { return {}; }  // no list boxes here
  int currentIndex(form::Control c) override { return qobject_cast<QComboBox*>(widget(c))->currentIndex(); }
  void setCurrentIndex(form::Control c, int index) override {
    qobject_cast<QComboBox*>(widget(c))->setCurrentIndex(index);
  }

  void messageBox(const std::string& text, const std::string& caption) override {
    w_.dialogs_->message(&w_, q(text), q(caption));
  }
  engine::Answer askYesNo(const std::string& text, const std::string& caption) override {
    return w_.dialogs_->askYesNo(&w_, q(text), q(caption));
  }
  engine::Answer askYesNoCancel(const std::string& text, const std::string& caption) override {
    return w_.dialogs_->askYesNoCancel(&w_, q(text), q(caption));
  }
  std::optional<std::string> chooseSaveFile(const form::SaveFileRequest& r) override {
    const SaveFileRequest request{q(r.title), q(r.filterDescription), q(r.filterPattern), q(r.defaultSuffix),
                                  q(r.initialPath)};
    const std::optional<QString> chosen = w_.dialogs_->chooseSaveFile(&w_, request);
    if (!chosen) return std::nullopt;
    return chosen->toStdString();
  }
  void showSelectionDialog() override {
    // No owner window, but shown over the main window rather than wherever the system puts it.
    frmSyutoku& dialog = *w_.syutoku_;
    dialog.move(w_.frameGeometry().center() - dialog.rect().center());
    w_.dialogs_->showModal(dialog);
  }
  void closeWindow() override { w_.close(); }
  void holdInput(bool held) override {
    if (held) {
      w_.inputHold_ = std::make_unique<InputHold>(&w_);
    } else {
      w_.inputHold_.reset();
    }
  }
  void paintNow(form::Control c) override { widget(c)->repaint(); }

  void post(std::function<void()> task) override {
    QMetaObject::invokeMethod(&w_, std::move(task), Qt::QueuedConnection);
  }
  void callLater(int ms, std::function<void()> task) override { QTimer::singleShot(ms, &w_, std::move(task)); }
  void pumpMessagesUntil(const bool& done) override {
    while (!done) QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
  }

 private:
  QWidget* widget(form::Control c) const {
    using form::Control;
    switch (c) {
      case Control::cmbDBQ: return w_.cmbDBQ;
      case Control::txtUID: return w_.txtUID;
      case Control::txtPass: return w_.txtPass;
      case Control::chkTable: return w_.chkTable;
      case Control::chkView: return w_.chkView;
      case Control::chkSynonym: return w_.chkSynonym;
      case Control::chkSeq: return w_.chkSeq;
      case Control::cmbTablesPattern: return w_.cmbTablesPattern;
      case Control::txtSyutokuTables: return w_.txtSyutokuTables;
      case Control::lblSyutoku: return w_.lblSyutoku;
      case Control::lblSyutokuCount: return w_.lblSyutokuCount;
      case Control::lblsaveFilename: return w_.lblsaveFilename;
      case Control::lblTable: return w_.lblTable;
      case Control::lblProgress: return w_.lblProgress;
      case Control::lstExport: return w_.syutoku_->lstExport;
      case Control::lstSyutoku: return w_.syutoku_->lstSyutoku;
    }
    return w_.picMain;
  }

  frmMain& w_;
};

frmMain::frmMain(WindowSetup setup, QWidget* parent)
    : QWidget(parent),
      dialogs_(setup.dialogs ? setup.dialogs : std::make_shared<QtDialogs>()),
      syutoku_(std::make_unique<frmSyutoku>()),
      view_(std::make_unique<View>(*this)) {
  buildControls();
  form_ = std::make_unique<form::MainForm>(static_cast<form::FormSetup&&>(std::move(setup)), *view_, syutoku_->form());
  form_->load();
}

frmMain::~frmMain() = default;

void frmMain::buildControls() {
  setObjectName(QStringLiteral("frmMain"));
  setWindowTitle(QStringLiteral("Vellicor変換"));
  setFont(formFont());

  picMain = named(new QFrame(this), "picMain");
  picMain->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  QWidget* p = picMain;

  cmbDBQ = named(new QComboBox(p), "cmbDBQ");
  cmbDBQ->setEditable(true);
  cmbDBQ->setInsertPolicy(QComboBox::NoInsert);
  cmbDBQ->completer()->setCaseSensitivity(Qt::CaseSensitive);
  txtUID = named(new QLineEdit(p), "txtUID");
  txtPass = named(new QLineEdit(p), "txtPass");
  txtPass->setEchoMode(QLineEdit::Password);
  // The password character is '*' rather than the style's bullet.
  txtPass->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));
  chkTable = named(new QCheckBox(QStringLiteral("テーブル"), p), "chkTable");
  chkView = named(new QCheckBox(QStringLiteral("ビュー"), p), "chkView");
  chkSynonym = named(new QCheckBox(QStringLiteral("シノニム"), p), "chkSynonym");
  chkSeq = named(new QCheckBox(QStringLiteral("シーケンス"), p), "chkSeq");
  chkTable->setChecked(true);
  cmbTablesPattern = named(new QComboBox(p), "cmbTablesPattern");
  cmdSyutoku = named(new QPushButton(QStringLiteral("オブジェクト選択"), p), "cmdSyutoku");
  cmdSaveFilename = named(new QPushButton(QStringLiteral("参照..."), p), "cmdSaveFilename");
  Command1 = named(new QPushButton(QStringLiteral("実 行"), p), "Command1");
  txtSyutokuTables = named(new QLineEdit(p), "txtSyutokuTables");
  // A selection of many objects is far longer than a line edit's default limit of 32767.
  txtSyutokuTables->setMaxLength(std::numeric_limits<int>::max());
  lblProgress = named(new FittedLabel(form::textFitOf(form::Control::lblProgress), this), "lblProgress");
  lblsaveFilename = named(new FittedLabel(form::textFitOf(form::Control::lblsaveFilename), p), "lblsaveFilename");
  lblsaveFilename->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  lblsaveFilename->setWordWrap(true);
  Label1[2] = captionLabel(p, "Label1_2", QStringLiteral("出力先："), true);
  Label1[1] = captionLabel(p, "Label1_1", QStringLiteral("ユーザ："), true);
  lblSyutoku = captionLabel(p, "lblSyutoku", QStringLiteral("取得パターン："), true);
  lblSyutokuCount = captionLabel(p, "lblSyutokuCount", QStringLiteral("取得オブジェクトカウント"), false);
  Label1[0] = captionLabel(p, "Label1_0", QStringLiteral("サーバ："), true);
  Label1[3] = captionLabel(p, "Label1_3", QStringLiteral("パスワード："), true);
  Label2 = captionLabel(p, "Label2", QStringLiteral("対象オブジェクト："), true);
  lblTable = named(new FittedLabel(form::textFitOf(form::Control::lblTable), p), "lblTable");

  // Left, top, width, height in twips; picMain and lblProgress on the window, the rest in picMain.
  struct Place { QWidget* w; int l, t, wd, h; };
  const Place places[] = {
      {cmbDBQ, 1800, 240, 2175, 300},           {txtUID, 1800, 600, 2175, 270},
      {txtPass, 1800, 960, 2175, 270},          {chkTable, 1800, 1440, 1215, 255},
      {chkView, 3240, 1440, 1095, 255},         {chkSynonym, 4560, 1440, 1095, 255},
      {chkSeq, 1800, 1740, 1455, 255},          {cmbTablesPattern, 1800, 2160, 2535, 300},
      {cmdSyutoku, 1800, 2640, 1695, 315},      {cmdSaveFilename, 720, 4140, 855, 255},
      {Command1, 4680, 4500, 1575, 375},        {txtSyutokuTables, 1800, 3420, 4455, 270},
      {lblProgress, 360, 5160, 5655, 255},      {picMain, 120, 120, 6375, 4995},
      {lblsaveFilename, 1800, 3780, 4455, 495}, {Label1[2], 600, 3780, 1005, 255},
      {Label1[1], 720, 600, 1005, 255},         {lblSyutoku, 0, 2160, 1725, 255},
      {lblSyutokuCount, 1800, 3060, 2160, 180}, {Label1[0], 720, 240, 1005, 255},
      {Label1[3], 600, 960, 1125, 255},         {Label2, 0, 1440, 1725, 255},
      {lblTable, 240, 4620, 4335, 255},
  };
  const int border = picMain->frameWidth();
  for (const Place& pl : places) {
    QRect r = twipsRect(this, pl.l, pl.t, pl.wd, pl.h);
    // Positions inside the panel count from the inside of its border.
    if (pl.w->parentWidget() == picMain) r.translate(border, border);
    // A label lower than the font's line would cut its glyphs: it grows downwards.
    if (qobject_cast<QLabel*>(pl.w)) r.setHeight(std::max(r.height(), pl.w->fontMetrics().height()));
    pl.w->setGeometry(r);
  }
  setFixedSize(twipsRect(this, 0, 0, 6630, 5520).size());

  QWidget* order[] = {cmbDBQ, txtUID, txtPass, chkTable, chkView, chkSynonym, chkSeq,
                      cmbTablesPattern, cmdSyutoku, cmdSaveFilename, Command1, txtSyutokuTables};
  for (size_t i = 0; i + 1 < std::size(order); ++i) QWidget::setTabOrder(order[i], order[i + 1]);
  for (QPushButton* b : {cmdSyutoku, cmdSaveFilename, Command1}) b->setAutoDefault(false);

  connect(Command1, &QPushButton::clicked, this, &frmMain::Command1_Click);
  connect(cmdSaveFilename, &QPushButton::clicked, this, &frmMain::cmdSaveFilename_Click);
  connect(cmdSyutoku, &QPushButton::clicked, this, &frmMain::cmdSyutoku_Click);
  connect(cmbTablesPattern, &QComboBox::activated, this, &frmMain::cmbTablesPattern_Click);
  connect(txtSyutokuTables, &QLineEdit::textChanged, this, &frmMain::txtSyutokuTables_Change);
}

int frmMain::checkValue(const QCheckBox* box) {
  switch (box->checkState()) {
    case Qt::Checked: return 1;
    case Qt::PartiallyChecked: return 2;
    default: return 0;
  }
}

void frmMain::setCheckValue(QCheckBox* box, int value) {
  box->setCheckState(value == 1 ? Qt::Checked : value == 2 ? Qt::PartiallyChecked : Qt::Unchecked);
}

void frmMain::closeEvent(QCloseEvent* event) {
  if (!form_->closeRequested()) {
    event->ignore();
    return;
  }
  event->accept();
}

}  // namespace vellicor::ui
