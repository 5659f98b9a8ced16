// Boxes and dialogs answered by the test: every message is recorded, questions and the save
// dialog take their answers from queues, and a modal form is handed to a test callback.
#pragma once

#include <QDialog>
#include <QString>
#include <QWidget>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include "ui/dialogs.h"

namespace vellicor::ui::test {

struct ShownMessage {
  QString text;
  QString caption;  // as given: empty means the program's title
};

class FakeDialogs : public Dialogs {
 public:
  void message(QWidget*, const QString& text, const QString& caption) override {
    messages.push_back({text, caption});
  }
  engine::Answer askYesNo(QWidget*, const QString& text, const QString& caption) override {
    questions.push_back({text, caption});
    return next(yesNo, engine::Answer::No);
  }
  engine::Answer askYesNoCancel(QWidget*, const QString& text, const QString& caption) override {
    questions.push_back({text, caption});
    return next(yesNoCancel, engine::Answer::Cancel);
  }
  std::optional<QString> chooseSaveFile(QWidget*, const SaveFileRequest& request) override {
    saveRequests.push_back(request);
    if (saveAnswers.empty()) return std::nullopt;
    auto a = saveAnswers.front();
    saveAnswers.pop_front();
    return a;
  }
  void showModal(QDialog& dialog) override {
    ++modalShows;
    if (onModal) onModal(dialog);
  }

  std::vector<ShownMessage> messages;
  std::vector<ShownMessage> questions;
  std::deque<engine::Answer> yesNo;
  std::deque<engine::Answer> yesNoCancel;
  std::deque<std::optional<QString>> saveAnswers;
  std::vector<SaveFileRequest> saveRequests;
  std::function<void(QDialog&)> onModal;
  int modalShows = 0;

 private:
  static engine::Answer next(std::deque<engine::Answer>& q, engine::Answer fallback) {
    if (q.empty()) return fallback;
    engine::Answer a = q.front();
    q.pop_front();
    return a;
  }
};

}  // namespace vellicor::ui::test
