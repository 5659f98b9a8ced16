// The main window: its controls at their places, the start-up steps, the services of the run,
// the run command with its checks, the save dialog, the object listing, the pattern and server boxes.
#include "ui/frm_main.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCompleter>
#include <QDateTime>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <limits>

#include "engine/conversion_run.h"
#include "lists/pattern_file.h"
#include "lists/tnsnames.h"
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

frmMain::frmMain(WindowSetup setup, QWidget* parent)
    : QWidget(parent), setup_(std::move(setup)), syutoku_(std::make_unique<frmSyutoku>()) {
  if (!setup_.dialogs) setup_.dialogs = std::make_shared<QtDialogs>();
  buildControls();
  message_ = StatusLine(lblTable);
  progress_ = StatusLine(lblProgress);
  Form_Load();
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
  lblProgress = named(new QLabel(this), "lblProgress");
  lblsaveFilename = named(new QLabel(p), "lblsaveFilename");
  lblsaveFilename->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  lblsaveFilename->setWordWrap(true);
  Label1[2] = captionLabel(p, "Label1_2", QStringLiteral("出力先："), true);
  Label1[1] = captionLabel(p, "Label1_1", QStringLiteral("ユーザ："), true);
  lblSyutoku = captionLabel(p, "lblSyutoku", QStringLiteral("取得パターン："), true);
  lblSyutokuCount = captionLabel(p, "lblSyutokuCount", QStringLiteral("取得オブジェクトカウント"), false);
  Label1[0] = captionLabel(p, "Label1_0", QStringLiteral("サーバ："), true);
  Label1[3] = captionLabel(p, "Label1_3", QStringLiteral("パスワード："), true);
  Label2 = captionLabel(p, "Label2", QStringLiteral("対象オブジェクト："), true);
  lblTable = named(new QLabel(p), "lblTable");

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

void frmMain::Form_Load() {
  lblSyutokuCount->clear();
  cmbDBQ->setEditText(QString());
  txtUID->clear();
  txtPass->clear();
  lblTable->clear();
  lblProgress->clear();

  const std::string local = setup_.programDir + "/" + lists::kPatternFileName;
  const lists::PatternFileChoice choice = lists::choosePatternFile(local);
  for (const std::string& m : choice.messages) messageBox(m, "");
  lblSyutoku->setToolTip(q(choice.tooltip));
  patternFile_ = choice.path;

  setServerList();
  loadPatterns(patternFile_);
  cmbTablesPattern->setCurrentIndex(0);
  cmbTablesPattern_Click();
  txtSyutokuTables->setText(q(strCurSyutoku));
  txtSyutokuTables_Change();
}

void frmMain::setServerList() {
  cmbDBQ->clear();
  for (const std::string& name : lists::readServerList(setup_.oracle)) cmbDBQ->addItem(q(name));
  // Filling the list must not put its first name into the field.
  cmbDBQ->setCurrentIndex(-1);
  cmbDBQ->setEditText(QString());
}

void frmMain::loadPatterns(const std::string& path) {
  const lists::PatternSet set = lists::loadPatterns(path);
  cmbTablesPattern->clear();
  for (const std::string& name : set.names) cmbTablesPattern->addItem(q(name));
  strPatterns = set.lists;
  if (set.readFailed) messageBox(lists::kReadFailed, "");
}

void frmMain::cmbTablesPattern_Click() {
  const int k = cmbTablesPattern->currentIndex();
  if (k < 0 || k >= static_cast<int>(strPatterns.size())) return;
  txtSyutokuTables->setText(q(strPatterns[static_cast<size_t>(k)]));
  strCurSyutoku = strPatterns[static_cast<size_t>(k)];
}

void frmMain::txtSyutokuTables_Change() {
  lblSyutokuCount->setText(q(lists::selectionCountText(txtSyutokuTables->text().toStdString())));
}

// ---- services of the run and the listing ----

// A repaint of one line brings the other up to date too, so the screen shows one moment of the work.
void frmMain::setMessage(const std::string& mes) {
  if (message_.set(q(mes))) progress_.flush();
}

void frmMain::setProgress(const std::string& mes) {
  if (progress_.set(q(mes))) message_.flush();
}

void frmMain::flushStatus() {
  message_.flush();
  progress_.flush();
}

std::string frmMain::selectionText() { return txtSyutokuTables->text().toStdString(); }

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

// The run reads the boxes right before its queries, which may take long: the status lines are
// brought up to date first.
int frmMain::sequencesBox() {
  flushStatus();
  return checkValue(chkSeq);
}

std::string frmMain::getWhereObjectType() {
  flushStatus();
  return engine::whereObjectType(checkValue(chkTable), checkValue(chkView), checkValue(chkSynonym));
}

void frmMain::messageBox(const std::string& text, const std::string& caption) {
  flushStatus();
  setup_.dialogs->message(this, q(text), q(caption));
}

engine::Answer frmMain::askYesNo(const std::string& text, const std::string& caption) {
  flushStatus();
  return setup_.dialogs->askYesNo(this, q(text), q(caption));
}

// ---- the buttons ----

int16_t frmMain::holdingInput(const std::function<int16_t()>& work) {
  busy_ = true;
  int16_t result = 1;
  {
    InputHold hold(this);
    // The run and the listing report their own failures; anything that still escapes them ends
    // the work as a failure with its description instead of ending the program.
    try {
      result = work();
    } catch (const std::exception& e) {
      messageBox(e.what(), "異常終了");
    } catch (...) {
      messageBox("予期しないエラーが発生しました。", "異常終了");
    }
  }
  flushStatus();
  busy_ = false;
  return result;
}

bool frmMain::anyKindTicked() const {
  return checkValue(chkTable) == 1 || checkValue(chkView) == 1 || checkValue(chkSynonym) == 1;
}

bool frmMain::checkConnectionInputs(const QString& server, const QString& user, bool focusUserFirst) {
  if (server.isEmpty()) {
    setup_.dialogs->message(this, QStringLiteral("サーバを指定してください。"), QStringLiteral("DB接続エラー"));
    cmbDBQ->setFocus();
    return false;
  }
  if (user.isEmpty()) {
    if (focusUserFirst) txtUID->setFocus();
    setup_.dialogs->message(this, QStringLiteral("ユーザを指定してください。"), QStringLiteral("DB接続エラー"));
    txtUID->setFocus();
    return false;
  }
  return true;
}

void frmMain::Command1_Click() {
  if (busy_) return;
  const QString server = cmbDBQ->currentText();
  const QString user = txtUID->text();
  const QString pass = txtPass->text();
  const QString output = lblsaveFilename->text();
  if (!checkConnectionInputs(server, user, false)) return;
  if (output.isEmpty()) {
    setup_.dialogs->message(this, QStringLiteral("出力先を指定してください。"), QStringLiteral("MDBファイル作成エラー"));
    return;
  }
  if (!anyKindTicked()) {
    setup_.dialogs->message(this, QStringLiteral("対象オブジェクトを１つ以上選択してください。"), QString());
    return;
  }
  const QDateTime start = QDateTime::currentDateTime();
  const std::string filename = output.toStdString();
  const int16_t result = holdingInput([&] {
    engine::RunRequest request;
    request.server = server.toStdString();
    request.user = user.toStdString();
    request.password = pass.toStdString();
    request.output = filename;
    request.log = filename + ".log";
    request.options = setup_.runOptions;
    return setup_.run(*this, request);
  });
  const QDateTime end = QDateTime::currentDateTime();
  const QString format = QStringLiteral("yyyy/MM/dd HH:mm:ss");
  setMessage("処理完了");
  setProgress((start.toString(format) + QStringLiteral(" 開始  ") + end.toString(format) +
               QStringLiteral(" 終了")).toStdString());
  flushStatus();
  cmbDBQ->setFocus();
  if (closeIfAsked()) return;
  if (result == 0) setup_.dialogs->message(this, QStringLiteral("正常終了しました。"), QStringLiteral("完了通知"));
}

void frmMain::cmdSaveFilename_Click() {
  SaveFileRequest request{QStringLiteral("MDB出力先指定"), QStringLiteral("Access97形式ファイル (*.mdb)"),
                          QStringLiteral("*.mdb"), QStringLiteral("mdb"), lblsaveFilename->text()};
  for (;;) {
    const std::optional<QString> chosen = setup_.dialogs->chooseSaveFile(this, request);
    if (!chosen) return;
    if (engine::outputFileExists(chosen->toStdString())) {
      switch (setup_.dialogs->askYesNoCancel(this, QStringLiteral("ファイルは既に存在します。よろしいですか？"),
                                             QStringLiteral("ファイル指定"))) {
        case engine::Answer::Yes: break;
        case engine::Answer::No: request.initialPath = *chosen; continue;
        case engine::Answer::Cancel: return;
      }
    }
    lblsaveFilename->setText(*chosen);
    lblsaveFilename->setToolTip(*chosen);  // a long path does not fit the label
    return;
  }
}

void frmMain::cmdSyutoku_Click() {
  if (busy_) return;
  syutoku_->reset();
  const QString server = cmbDBQ->currentText();
  const QString user = txtUID->text();
  const QString pass = txtPass->text();
  if (!checkConnectionInputs(server, user, true)) return;
  if (!anyKindTicked()) {
    setup_.dialogs->message(this, QStringLiteral("対象オブジェクトを１つ以上選択してください。"), QString());
    return;
  }
  const int16_t listed = getUserObjects(server.toStdString(), user.toStdString(), pass.toStdString());
  if (closeIfAsked() || listed > 0) return;
  setMessage("");
  setProgress("");
  flushStatus();
  syutoku_->setSyutoku(strCurSyutoku);
  // No owner window, but shown over the main window rather than wherever the system puts it.
  syutoku_->move(frameGeometry().center() - syutoku_->rect().center());
  setup_.dialogs->showModal(*syutoku_);
  if (!syutoku_->done) return;
  syutoku_->getSyutoku(strCurSyutoku);
  txtSyutokuTables->setText(q(strCurSyutoku));
}

int16_t frmMain::getUserObjects(const std::string& server, const std::string& user, const std::string& pass) {
  frmSyutoku& dialog = *syutoku_;
  return holdingInput([&] {
    return setup_.listObjects(*this, server, user, pass,
                              [&dialog](const std::string& name) { dialog.addExport(q(name)); },
                              setup_.runOptions);
  });
}

bool frmMain::closeIfAsked() {
  if (!closePending_) return false;
  closePending_ = false;
  close();
  return true;
}

void frmMain::closeEvent(QCloseEvent* event) {
  // Work on the user-interface thread cannot be left half done: the window closes once it ends.
  if (busy_) {
    closePending_ = true;
    event->ignore();
    return;
  }
  syutoku_->hide();
  event->accept();
}

}  // namespace vellicor::ui
