// The run's host on a console: status lines on stdout (a live progress line on a terminal, plain
// lines otherwise), message boxes on stderr, and the overwrite question answered by policy.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>

#include "engine/run_host.h"
#include "engine/run_stop.h"

namespace vellicor::app {

enum class OverwritePolicy { Yes, Ask, No };

class ConsoleHost : public engine::RunHost {
 public:
  struct Settings {
    std::string selection;
    int chkTable = 1, chkView = 0, chkSynonym = 0, chkSeq = 0;
    OverwritePolicy overwrite = OverwritePolicy::No;
    bool quiet = false;
    bool live = false;  // repaint one progress line in place (a terminal)
    // A stop asked for while the question waits for its answer ends the wait with No.
    const engine::StopRequest* stop = nullptr;
  };

  ConsoleHost(Settings s, std::FILE* out = stdout, std::FILE* err = stderr);
  ~ConsoleHost() override;

  void setMessage(const std::string& mes) override;
  void setProgress(const std::string& mes) override;
  std::string selectionText() override { return s_.selection; }
  int sequencesBox() override { return s_.chkSeq; }
  std::string getWhereObjectType() override {
    return engine::whereObjectType(s_.chkTable, s_.chkView, s_.chkSynonym);
  }
  void messageBox(const std::string& text, const std::string& caption) override;
  engine::Answer askYesNo(const std::string& text, const std::string& caption) override;
  void recordProgress(int64_t copied, int64_t count) override;

  // Shows a pending progress text now (the last text is always shown).
  void flush();

 private:
  using Clock = std::chrono::steady_clock;
  void paintLive();
  void endLiveLine();
  bool readAnswer(std::string& answer);

  Settings s_;
  std::FILE* out_;
  std::FILE* err_;
  std::string pending_;      // the latest row progress not yet shown
  bool havePending_ = false;
  bool liveLineOpen_ = false;
  std::string lastMessage_;  // the last status text set
  Clock::time_point lastPaint_{};
  Clock::time_point objectStart_{};
  int64_t copied_ = 0, count_ = 0;
};

}  // namespace vellicor::app
