// The controls of the main window and of the selection dialog that the form logic reads and
// writes, named as on the forms; a view maps each to its own control.
#pragma once

namespace vellicor::form {

enum class Control {
  // frmMain
  cmbDBQ,            // server: combo box with an edit field
  txtUID,            // user
  txtPass,           // password
  chkTable,          // kind boxes: 0 clear, 1 ticked, 2 greyed
  chkView,
  chkSynonym,
  chkSeq,            // sequences
  cmbTablesPattern,  // pattern box: a drop-down list
  txtSyutokuTables,  // the selection text
  lblSyutoku,        // caption of the pattern box; its tooltip names the pattern file
  lblSyutokuCount,   // how many objects the selection text names
  lblsaveFilename,   // the output file's full path: the only holder of that path
  lblTable,          // message line
  lblProgress,       // progress line
  // frmSyutoku: sorted list boxes with extended selection
  lstExport,         // selectable objects
  lstSyutoku,        // objects to acquire
};

}  // namespace vellicor::form
