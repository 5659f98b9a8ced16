// What the conversion run and the object listing see of their host (the window, the command line
// or a test): the two status lines, the kind and sequence boxes, the selection text and the message boxes.
#pragma once

#include <cstdint>
#include <string>

namespace vellicor::engine {

enum class Answer { Yes, No, Cancel };

class RunHost {
 public:
  virtual ~RunHost() = default;
  // The message line (lblTable) and the progress line (lblProgress); each call replaces the text.
  virtual void setMessage(const std::string& mes) = 0;
  virtual void setProgress(const std::string& mes) = 0;
  // The text of the selection box (txtSyutokuTables).
  virtual std::string selectionText() = 0;
  // The sequences box (chkSeq): 0 clear, 1 ticked, 2 greyed.
  virtual int sequencesBox() = 0;
  // The object-type clause built from the kind boxes (see whereObjectType).
  virtual std::string getWhereObjectType() = 0;
  // A modal message box with an OK button; caption empty = the program's title.
  virtual void messageBox(const std::string& text, const std::string& caption) = 0;
  // A Yes/No question.
  virtual Answer askYesNo(const std::string& text, const std::string& caption) = 0;
  // Called right after the per-row progress text with the same two numbers, for hosts that show
  // a rate or an estimate; the default ignores it.
  virtual void recordProgress(int64_t copied, int64_t count) { (void)copied; (void)count; }
};

// The object-type clause for the ticked kinds, each box 0, 1 or 2 (only 1 counts as ticked).
std::string whereObjectType(int chkTable, int chkView, int chkSynonym);

inline constexpr const char* kProgramTitle = "Vellicor";

}  // namespace vellicor::engine
