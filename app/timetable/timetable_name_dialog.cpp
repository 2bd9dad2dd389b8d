#include "app/timetable/timetable_name_dialog.h"

#include <cstdint>

#include "app/timetable/timetable_library.h"
#include "resources/resource.h"
#include "ui/controls/edit_control.h"
#include "ui/dialog_frame.h"
#include "ui/form_window.h"

namespace belvane {

namespace {

// The dialog while it runs: an object of its own, its handlers bound to it.
class NameDialog {
 public:
  NameDialog(bool renaming, const std::string& shown, const TimetableNameCheck& check)
      : renaming_(renaming), shown_(shown), check_(check) {}

  std::optional<TimetableNameAnswer> Ask(HWND owner) {
    if (!frame_.Run(owner, BELVANE_DIALOG_TIMETABLE_NAME, [this](HWND window) { Init(window); }))
      return std::nullopt;
    return std::move(answer_);
  }

 private:
  void Init(HWND window) {
    FormWindow& form = frame_.Form();
    // The template's own font throughout, as the template lays them out.
    name_edit_.AttachToDialogItem(window, BELVANE_ID_NAME_EDIT, false);
    frame_.BindAcceptAndCancel(window, IDOK, IDCANCEL, [this] { return Accept(); });
    // Room for a name a little too long, so the box can say why it is refused.
    name_edit_.LimitText(kMaxTimetableNameChars * 2 + 8);
    if (renaming_) {
      form.SetText("重命名课表");
      ShowWindow(form.DialogItem(BELVANE_ID_NAME_EMPTY), SW_HIDE);
      ShowWindow(form.DialogItem(BELVANE_ID_NAME_COPY), SW_HIDE);
      name_edit_.Text(shown_);
      name_edit_.SetSelection(0, -1);
    } else {
      form.DialogItemText(BELVANE_ID_NAME_COPY, "复制当前课表（" + shown_ + "）");
      form.SendDialogItemMessage(BELVANE_ID_NAME_EMPTY, BM_SETCHECK, BST_CHECKED);
    }
    name_edit_.SetFocus();
  }

  bool Accept() {
    const std::string name = name_edit_.Text().Bytes();
    const std::string problem = check_(name);
    if (!problem.empty()) {
      frame_.Refuse(problem, &name_edit_);
      return false;
    }
    const bool copy = !renaming_ && frame_.Form().SendDialogItemMessage(BELVANE_ID_NAME_COPY,
                                                                        BM_GETCHECK) == BST_CHECKED;
    answer_ = TimetableNameAnswer{name, copy};
    return true;
  }

  const bool renaming_;
  const std::string& shown_;
  const TimetableNameCheck& check_;
  DialogFrame frame_{"课表名称"};
  EditControl name_edit_;
  std::optional<TimetableNameAnswer> answer_;
};

}  // namespace

std::optional<TimetableNameAnswer> AskTimetableName(HWND owner, bool renaming,
                                                    const std::string& shown,
                                                    const TimetableNameCheck& check) {
  return NameDialog(renaming, shown, check).Ask(owner);
}

}  // namespace belvane
