#include "app/timetable/csv_import_dialog.h"

#include <algorithm>

#include "resources/resource.h"
#include "ui/controls/list_box_control.h"
#include "ui/dialog_frame.h"
#include "ui/form_window.h"

namespace belvane {

namespace {

class ImportDialog {
 public:
  explicit ImportDialog(const CsvImportPreview& preview) : preview_(preview) {}

  bool Ask(HWND owner) {
    return frame_.Run(owner, BELVANE_DIALOG_CSV_IMPORT, [this](HWND window) { Init(window); });
  }

 private:
  bool Importable() const { return preview_.problems.empty() && !preview_.items.empty(); }

  void Init(HWND window) {
    FormWindow& form = frame_.Form();
    form.SetText(preview_.caption);
    form.DialogItemText(BELVANE_ID_CSV_HEADING, preview_.heading);
    lines_.AttachToDialogItem(window, BELVANE_ID_CSV_LINES, false);
    frame_.BindAcceptAndCancel(window, IDOK, IDCANCEL, [this] { return Importable(); });
    std::size_t widest = 0;
    const auto add = [this, &widest](const std::string& text) {
      lines_.AddItem(text);
      widest = std::max(widest, text.size());
    };
    // The bad lines first: they are why nothing can be imported.
    for (const CsvLineProblem& problem : preview_.problems) add(CsvProblemText(problem));
    for (const std::string& item : preview_.items) add(item);
    // A long reason scrolls sideways rather than being cut off.
    SendMessageA(lines_.Handle(), LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(widest * 7 + 20), 0);
    if (!Importable()) {
      EnableWindow(form.DialogItem(IDOK), FALSE);
      form.DialogItemText(IDCANCEL, "关闭");
      SetFocus(form.DialogItem(IDCANCEL));
    }
  }

  const CsvImportPreview& preview_;
  DialogFrame frame_{"从 CSV 导入"};
  ListBoxControl lines_;
};

}  // namespace

std::string CsvProblemText(const CsvLineProblem& problem) {
  return "第 " + std::to_string(problem.line) + " 行：" + problem.why;
}

bool ConfirmCsvImport(HWND owner, const CsvImportPreview& preview) {
  return ImportDialog(preview).Ask(owner);
}

}  // namespace belvane
