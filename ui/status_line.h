// A one-line status label written during long work on the user-interface thread: it repaints
// itself at once, but at most about 30 times a second, and shows the last text when flushed.
#pragma once

#include <QElapsedTimer>
#include <QLabel>
#include <QString>

namespace vellicor::ui {

class StatusLine {
 public:
  static constexpr qint64 kMinPaintIntervalMs = 33;

  explicit StatusLine(QLabel* label = nullptr) : label_(label) {}

  // Replaces the text; repaints now unless the last repaint was less than the interval ago.
  // True when it repainted.
  bool set(const QString& text);
  // Repaints the label if its text changed since the last repaint.
  void flush();

  QLabel* label() const { return label_; }

 private:
  void paintNow();

  QLabel* label_;
  QElapsedTimer sincePaint_;
  bool pending_ = false;
};

}  // namespace vellicor::ui
