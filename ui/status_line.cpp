// The throttled repaint of a status label: a repaint at once when the last one is old enough,
// otherwise the text waits for the next call or an explicit flush.
#include "ui/status_line.h"

namespace vellicor::ui {

bool StatusLine::set(const QString& text) {
  if (label_->text() != text) {
    label_->setText(text);
    pending_ = true;
  }
  if (!pending_ || (sincePaint_.isValid() && sincePaint_.elapsed() < kMinPaintIntervalMs)) return false;
  paintNow();
  return true;
}

void StatusLine::flush() {
  if (pending_) paintNow();
}

void StatusLine::paintNow() {
  label_->repaint();
  pending_ = false;
  sincePaint_.start();
}

}  // namespace vellicor::ui
