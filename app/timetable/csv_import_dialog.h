#pragma once
// The preview before a CSV import changes anything (template BELVANE_DIALOG_CSV_IMPORT): a line
// saying what will happen, then every line of the file that cannot be read, with its number,
// and what will be imported. While any line cannot be read nothing can be imported: only
// "关闭" is offered, so a file is taken whole or not at all.
//
// Thread policy: user-interface thread only.

#include <windows.h>

#include <string>
#include <vector>

#include "runtime/csv.h"

namespace belvane {

struct CsvImportPreview {
  std::string caption;             // the dialog's
  std::string heading;             // what importing does, or why it cannot
  std::vector<std::string> items;  // what will be imported, a line each
  std::vector<CsvLineProblem> problems;
};

// "第 3 行：时间无法识别：…".
std::string CsvProblemText(const CsvLineProblem& problem);

// Shows the preview; true when the user confirmed an import (never while there are problems or
// nothing to import).
bool ConfirmCsvImport(HWND owner, const CsvImportPreview& preview);

}  // namespace belvane
