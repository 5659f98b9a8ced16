// The object selection dialog's window: its controls at their places, the events handed to the
// dialog's logic, and the list boxes as the logic sees them.
#include "ui/frm_syutoku.h"

#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <vector>

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

QStringList qStrings(const std::vector<std::string>& items) {
  QStringList list;
  list.reserve(static_cast<qsizetype>(items.size()));
  for (const std::string& s : items) list << QString::fromStdString(s);
  return list;
}

}  // namespace

// The two list boxes as the dialog's logic reads and fills them.
class frmSyutoku::View : public form::SelectionView {
 public:
  explicit View(frmSyutoku& w) : w_(w) {}

  void hideDialog() override { w_.hide(); }

  std::vector<std::string> items(form::Control c) override {
    const QListWidget* l = list(c);
    std::vector<std::string> out;
    out.reserve(static_cast<size_t>(l->count()));
    for (int p = 0; p < l->count(); ++p) out.push_back(l->item(p)->text().toStdString());
    return out;
  }
  void setItems(form::Control c, const std::vector<std::string>& entries) override {
    QListWidget* l = list(c);
    l->setUpdatesEnabled(false);
    l->clear();
    l->addItems(qStrings(entries));
    l->setUpdatesEnabled(true);
  }
  void addItems(form::Control c, const std::vector<std::string>& entries) override {
    list(c)->addItems(qStrings(entries));
  }
  std::vector<bool> selection(form::Control c) override {
    // Selected rows read once: asking each entry walks every selection range.
    const QListWidget* l = list(c);
    std::vector<bool> selected(static_cast<size_t>(l->count()));
    for (const QModelIndex& i : l->selectionModel()->selectedIndexes()) selected[static_cast<size_t>(i.row())] = true;
    return selected;
  }

  // The dialog has no text boxes, check boxes or combo boxes.
  std::string text(form::Control) override { return {}; }
  void setText(form::Control, const std::string&) override {}
  void setToolTip(form::Control, const std::string&) override {}
  int checkValue(form::Control) override { return 0; }
  void setFocus(form::Control c) override { list(c)->setFocus(); }
  int currentIndex(form::Control) override { return -1; }
  void setCurrentIndex(form::Control, int) override {}

 private:
  QListWidget* list(form::Control c) const { return c == form::Control::lstSyutoku ? w_.lstSyutoku : w_.lstExport; }

  frmSyutoku& w_;
};

frmSyutoku::frmSyutoku(QWidget* parent)
    : QDialog(parent),
      view_(std::make_unique<View>(*this)),
      form_(std::make_unique<form::SelectionForm>(*view_)),
      syutokutables(form_->syutokutables),
      done(form_->done) {
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

  using form::Control;
  connect(cmdToSyutoku, &QPushButton::clicked, this, [this] { form_->moveSelected(Control::lstExport); });
  connect(cmdToExport, &QPushButton::clicked, this, [this] { form_->moveSelected(Control::lstSyutoku); });
  connect(cmdToSyutokuAll, &QPushButton::clicked, this, [this] { form_->moveAll(Control::lstExport); });
  connect(cmdToExportAll, &QPushButton::clicked, this, [this] { form_->moveAll(Control::lstSyutoku); });
  connect(lstExport, &QListWidget::itemDoubleClicked, this, [this] { form_->moveSelected(Control::lstExport); });
  connect(lstSyutoku, &QListWidget::itemDoubleClicked, this, [this] { form_->moveSelected(Control::lstSyutoku); });
  connect(cmdAccpet, &QPushButton::clicked, this, &frmSyutoku::cmdAccpet_Click);
  connect(cmdCancel, &QPushButton::clicked, this, &frmSyutoku::cmdCancel_Click);
}

frmSyutoku::~frmSyutoku() = default;

void frmSyutoku::reject() {
  form_->cancel();
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
