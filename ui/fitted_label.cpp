// Painting a fitted label: the text measured with the label's font in its contents rectangle (a
// wrapping label breaks at words, or inside a word too long for a line) and shortened to fit.
#include "ui/fitted_label.h"

#include <QHelpEvent>
#include <QPainter>
#include <QStyle>
#include <QToolTip>

namespace vellicor::ui {

FittedLabel::FittedLabel(form::TextFit fit, QWidget* parent) : QLabel(parent), fit_(fit) {
  setTextFormat(Qt::PlainText);
}

int FittedLabel::textFlags() const {
  return static_cast<int>(alignment()) | (wordWrap() ? Qt::TextWordWrap | Qt::TextWrapAnywhere : Qt::TextSingleLine);
}

QString FittedLabel::shownText() const {
  const QString whole = text();
  const QRect r = contentsRect();
  const QFontMetrics fm(font());
  const int flags = textFlags();
  const bool wraps = wordWrap();
  const std::string shown = form::fitText(whole.toStdString(), fit_, [&](const std::string& s) {
    const QString q = QString::fromStdString(s);
    if (wraps) return fm.boundingRect(r, flags, q).height() <= r.height();
    return fm.horizontalAdvance(q) <= r.width();
  });
  return QString::fromStdString(shown);
}

void FittedLabel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  style()->drawItemText(&painter, contentsRect(), textFlags(), palette(), isEnabled(), shownText(), foregroundRole());
}

bool FittedLabel::event(QEvent* event) {
  // A shortened text has the whole text as its tooltip.
  if (event->type() == QEvent::ToolTip) {
    if (const QString whole = text(); shownText() != whole) {
      QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), whole, this);
      return true;
    }
  }
  return QLabel::event(event);
}

}  // namespace vellicor::ui
