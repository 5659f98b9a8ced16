// The object selection dialog: its controls, the moves between the two lists, the pre-selection
// and the two ways out.
#include "ui/frm_syutoku.h"

#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "lists/syutoku_tables.h"
#include "ui/twips.h"
#include "ui/ui_font.h"

namespace vellicor::ui {

namespace {

QListWidget* makeList(QWidget* parent, const char* name) {
  auto* list = new QListWidget(parent);
  list->setObjectName(QString::fromLatin1(name));
  list->setSelectionMode(QAbstractItemView::ExtendedSelection);
  list->setSortingEnabled(true);
  list->setUniformItemSizes(true);  // lists of thousands of names stay quick to fill
  return list;
}

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption) {
  auto* b = new QPushButton(caption, parent);
  b->setObjectName(QString::fromLatin1(name));
  b->setAutoDefault(false);
  b->setDefault(false);
  return b;
}

}  // namespace

frmSyutoku::frmSyutoku(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frmSyutoku"));
  setWindowTitle(QStringLiteral("オブジェクト選択"));
  setFont(formFont());

  lstExport = makeList(this, "lstExport");
  lstSyutoku = makeList(this, "lstSyutoku");
  cmdCancel = makeButton(this, "cmdCancel", QStringLiteral("キャンセル"));
  cmdAccpet = makeButton(this, "cmdAccpet", QStringLiteral("決 定"));
  cmdToSyutoku = makeButton(this, "cmdToSyutoku", QStringLiteral(">"));
  cmdToExport = makeButton(this, "cmdToExport", QStringLiteral("<"));
  cmdToSyutokuAll = makeButton(this, "cmdToSyutokuAll", QStringLiteral(">>"));
  cmdToExportAll = makeButton(this, "cmdToExportAll", QStringLiteral("<<"));
  Label1 = new QLabel(QStringLiteral("選択可能オブジェクト"), this);
  Label1->setObjectName(QStringLiteral("Label1"));
  Label2 = new QLabel(QStringLiteral("取得オブジェクト"), this);
  Label2->setObjectName(QStringLiteral("Label2"));

  struct Place { QWidget* w; int l, t, wd, h; };
  const Place places[] = {
      {lstExport, 120, 480, 5055, 3840},     {lstSyutoku, 5880, 480, 5055, 3840},
      {cmdCancel, 8520, 4440, 1095, 375},    {cmdAccpet, 9840, 4440, 1095, 375},
      {cmdToSyutoku, 5280, 1800, 495, 255},  {cmdToExport, 5280, 2520, 495, 255},
      {cmdToSyutokuAll, 5280, 1320, 495, 255}, {cmdToExportAll, 5280, 3000, 495, 255},
      {Label1, 120, 240, 1800, 180},         {Label2, 5880, 240, 1440, 180},
  };
  for (const Place& p : places) p.w->setGeometry(twipsRect(this, p.l, p.t, p.wd, p.h));
  // A caption is not cut off by a row lower than the font's line: it grows downwards.
  for (QLabel* l : {Label1, Label2}) {
    l->resize(l->width(), std::max(l->height(), l->fontMetrics().height()));
  }
  const QRect client = twipsRect(this, 0, 0, 11055, 4965);
  setFixedSize(client.size());

  QWidget::setTabOrder(lstExport, lstSyutoku);
  QWidget::setTabOrder(lstSyutoku, cmdCancel);
  QWidget::setTabOrder(cmdCancel, cmdAccpet);
  QWidget::setTabOrder(cmdAccpet, cmdToSyutoku);
  QWidget::setTabOrder(cmdToSyutoku, cmdToExport);
  QWidget::setTabOrder(cmdToExport, cmdToSyutokuAll);
  QWidget::setTabOrder(cmdToSyutokuAll, cmdToExportAll);

  connect(cmdToSyutoku, &QPushButton::clicked, this, [this] { moveSelected(lstExport, lstSyutoku); });
  connect(cmdToExport, &QPushButton::clicked, this, [this] { moveSelected(lstSyutoku, lstExport); });
  connect(cmdToSyutokuAll, &QPushButton::clicked, this, [this] { moveAll(lstExport, lstSyutoku); });
  connect(cmdToExportAll, &QPushButton::clicked, this, [this] { moveAll(lstSyutoku, lstExport); });
  connect(lstExport, &QListWidget::itemDoubleClicked, this, [this] { moveSelected(lstExport, lstSyutoku); });
  connect(lstSyutoku, &QListWidget::itemDoubleClicked, this, [this] { moveSelected(lstSyutoku, lstExport); });
  connect(cmdAccpet, &QPushButton::clicked, this, &frmSyutoku::cmdAccpet_Click);
  connect(cmdCancel, &QPushButton::clicked, this, &frmSyutoku::cmdCancel_Click);
}

void frmSyutoku::reset() {
  hide();
  lstExport->clear();
  lstSyutoku->clear();
}

void frmSyutoku::addExport(const QString& name) { lstExport->addItem(name); }

// The source keeps its unmoved entries, which are already in order: it is refilled with them
// rather than losing entries one at a time, which is quadratic on lists of thousands of names.
void frmSyutoku::moveSelected(QListWidget* source, QListWidget* target) {
  // Selected rows read once: asking each entry walks every selection range.
  std::vector<bool> selected(static_cast<size_t>(source->count()));
  for (const QModelIndex& i : source->selectionModel()->selectedIndexes()) selected[static_cast<size_t>(i.row())] = true;
  QStringList moved, kept;
  for (int p = 0; p < source->count(); ++p) {
    (selected[static_cast<size_t>(p)] ? moved : kept) << source->item(p)->text();
  }
  if (moved.isEmpty()) return;
  source->setUpdatesEnabled(false);
  target->addItems(moved);
  source->clear();
  source->addItems(kept);
  source->setUpdatesEnabled(true);
}

void frmSyutoku::moveAll(QListWidget* source, QListWidget* target) {
  source->setUpdatesEnabled(false);
  QStringList moved;
  for (int p = 0; p < source->count(); ++p) moved << source->item(p)->text();
  target->addItems(moved);
  source->clear();
  source->setUpdatesEnabled(true);
}

void frmSyutoku::setSyutoku(const std::string& text) {
  // The names of the text, reduced as the table list's Find reduces them: every comma ends a name.
  std::unordered_set<std::string> wanted;
  size_t start = 0;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || text[i] == ',') {
      wanted.insert(lists::reduceName(std::string_view(text).substr(start, i - start)));
      start = i + 1;
    }
  }
  QStringList chosen, kept;
  for (int p = 0; p < lstExport->count(); ++p) {
    const QString name = lstExport->item(p)->text();
    (wanted.count(lists::reduceName(name.toStdString())) ? chosen : kept) << name;
  }
  if (chosen.isEmpty()) return;
  lstExport->setUpdatesEnabled(false);
  lstSyutoku->addItems(chosen);
  lstExport->clear();
  lstExport->addItems(kept);
  lstExport->setUpdatesEnabled(true);
}

void frmSyutoku::cmdAccpet_Click() {
  // The names of the right list in its order, joined as the table list serializes them (a comma
  // only once the text is non-empty). Joined here directly: the listing may supply one name more
  // than a table list holds.
  std::string text;
  for (int p = 0; p < lstSyutoku->count(); ++p) {
    if (!text.empty()) text += ',';
    text += lstSyutoku->item(p)->text().toStdString();
  }
  syutokutables = std::move(text);
  done = true;
  hide();
}

void frmSyutoku::cmdCancel_Click() {
  done = false;
  hide();
}

void frmSyutoku::reject() {
  cmdCancel_Click();
  QDialog::reject();
}

void frmSyutoku::keyPressEvent(QKeyEvent* event) {
  // Neither Escape nor Enter stands for a button of this dialog.
  if (event->key() == Qt::Key_Escape) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

}  // namespace vellicor::ui
