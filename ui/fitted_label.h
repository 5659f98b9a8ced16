// A label that shows a text too long for it shortened as the form logic's rule says (in the
// middle, keeping a path's file name), with the whole text as its tooltip; text() stays whole.
#pragma once

#include <QLabel>

#include "form/text_fit.h"

namespace vellicor::ui {

class FittedLabel : public QLabel {
 public:
  FittedLabel(form::TextFit fit, QWidget* parent);

  // The text as painted: the whole text, or its shortening.
  QString shownText() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  bool event(QEvent* event) override;

 private:
  int textFlags() const;

  form::TextFit fit_;
};

}  // namespace vellicor::ui
