// Dropping user input aimed at a busy window, while its own boxes and dialogs stay answerable;
// what was queued during the work is delivered into the filter before input flows again.
#include "ui/input_hold.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

namespace vellicor::ui {

namespace {

bool isUserInput(QEvent::Type t) {
  switch (t) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
      return true;
    default:
      return false;
  }
}

}  // namespace

InputHold::InputHold(QWidget* window) : window_(window) {
  QCoreApplication::instance()->installEventFilter(this);
}

InputHold::~InputHold() {
  // Input that arrived during the work is still queued; deliver it now, into the filter.
  QCoreApplication::processEvents();
  QCoreApplication::instance()->removeEventFilter(this);
}

bool InputHold::eventFilter(QObject* watched, QEvent* event) {
  if (!window_ || !watched->isWidgetType() || !isUserInput(event->type())) return false;
  auto* w = static_cast<QWidget*>(watched);
  return w == window_ || w->window() == window_;
}

}  // namespace vellicor::ui
