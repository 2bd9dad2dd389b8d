#include "app/timetable_name_dialog.h"

#include <cstdint>

#include "app/timetable_library.h"
#include "resources/resource.h"
#include "runtime/message_box.h"
#include "ui/controls/button_control.h"
#include "ui/controls/edit_control.h"
#include "ui/form_window.h"

namespace belvane {

namespace {

// The dialog while it runs. Handlers are plain functions: they reach it through g_dialog (one
// modal dialog at a time, on the user-interface thread).
struct NameDialog {
  NameDialog(bool renaming_name, const std::string& shown_name,
             const TimetableNameCheck& name_check)
      : renaming(renaming_name), shown(shown_name), check(name_check) {}
  bool renaming;
  const std::string& shown;
  const TimetableNameCheck& check;
  FormWindow form;
  EditControl name_edit;
  ButtonControl ok_button;
  ButtonControl cancel_button;
  std::optional<TimetableNameAnswer> answer;
};
NameDialog* g_dialog = nullptr;

std::int32_t OnNameOk(const EventArgs&) {
  NameDialog& dialog = *g_dialog;
  const std::string name = dialog.name_edit.Text().Bytes();
  const std::string problem = dialog.check(name);
  if (!problem.empty()) {
    ShowMessageBox(dialog.form.Handle(), problem, "课表名称", MB_OK | MB_ICONWARNING);
    dialog.name_edit.SetFocus();
    dialog.name_edit.SetSelection(0, -1);
    return 0;
  }
  const bool copy = !dialog.renaming && dialog.form.SendDialogItemMessage(
                                            BELVANE_ID_NAME_COPY, BM_GETCHECK) == BST_CHECKED;
  dialog.answer = TimetableNameAnswer{name, copy};
  EndDialog(dialog.form.Handle(), IDOK);
  return 0;
}

std::int32_t OnNameCancel(const EventArgs&) {
  EndDialog(g_dialog->form.Handle(), IDCANCEL);
  return 0;
}

std::int32_t InitNameDialog(const EventArgs& args) {
  const auto window = reinterpret_cast<HWND>(args[0]);
  NameDialog& dialog = *g_dialog;
  // The template's own font throughout, as the template lays them out.
  dialog.name_edit.AttachToDialogItem(window, BELVANE_ID_NAME_EDIT, false);
  dialog.ok_button.AttachToDialogItem(window, IDOK, false);
  dialog.cancel_button.AttachToDialogItem(window, IDCANCEL, false);
  dialog.ok_button.SetClickHandler(&OnNameOk);
  dialog.cancel_button.SetClickHandler(&OnNameCancel);
  // Room for a name a little too long, so the box can say why it is refused.
  dialog.name_edit.LimitText(kMaxTimetableNameChars * 2 + 8);
  if (dialog.renaming) {
    dialog.form.SetText("重命名课表");
    ShowWindow(dialog.form.DialogItem(BELVANE_ID_NAME_EMPTY), SW_HIDE);
    ShowWindow(dialog.form.DialogItem(BELVANE_ID_NAME_COPY), SW_HIDE);
    dialog.name_edit.Text(dialog.shown);
    dialog.name_edit.SetSelection(0, -1);
  } else {
    dialog.form.DialogItemText(BELVANE_ID_NAME_COPY, "复制当前课表（" + dialog.shown + "）");
    dialog.form.SendDialogItemMessage(BELVANE_ID_NAME_EMPTY, BM_SETCHECK, BST_CHECKED);
  }
  dialog.name_edit.SetFocus();
  return 0;
}

}  // namespace

std::optional<TimetableNameAnswer> AskTimetableName(HWND owner, bool renaming,
                                                    const std::string& shown,
                                                    const TimetableNameCheck& check) {
  if (g_dialog != nullptr) return std::nullopt;
  NameDialog dialog{renaming, shown, check};
  g_dialog = &dialog;
  dialog.form.RunDialog(owner, BELVANE_DIALOG_TIMETABLE_NAME, &InitNameDialog);
  g_dialog = nullptr;
  return std::move(dialog.answer);
}

}  // namespace belvane
