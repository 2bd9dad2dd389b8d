#include "ui/dialog_frame.h"

#include <utility>

#include "runtime/message_box.h"

namespace belvane {

bool DialogFrame::Run(HWND owner, int template_id, std::function<void(HWND)> init) {
  accepted_ = false;
  form_.RunDialog(owner, template_id,
                  [&init](const EventArgs& args) { init(reinterpret_cast<HWND>(args[0])); });
  return accepted_;
}

void DialogFrame::BindAcceptAndCancel(HWND dialog, int ok_id, int cancel_id,
                                      std::function<bool()> accept, bool keep_fonts) {
  accept_ = std::move(accept);
  ok_.AttachToDialogItem(dialog, ok_id, keep_fonts);
  cancel_.AttachToDialogItem(dialog, cancel_id, keep_fonts);
  const auto on_ok = [this] {
    if (!accept_ || accept_()) Close(true);
  };
  ok_.SetClickHandler([on_ok](const EventArgs&) { on_ok(); });
  cancel_.SetClickHandler([this](const EventArgs&) { Close(false); });
  // Enter and Esc arrive as IDOK and IDCANCEL; where the buttons bear those ids their click
  // handlers already answer them (reflected), so only other ids need the command.
  form_.BindMenuCommand([this, on_ok, ok_id, cancel_id](const EventArgs& args) {
    if (args[0] == IDOK && ok_id != IDOK) on_ok();
    if (args[0] == IDCANCEL && cancel_id != IDCANCEL) Close(false);
  });
}

void DialogFrame::Close(bool accepted) {
  accepted_ = accepted;
  if (form_.Handle() != nullptr) EndDialog(form_.Handle(), accepted ? IDOK : IDCANCEL);
}

void DialogFrame::Refuse(const std::string& why, EditControl* focus) {
  ShowMessageBox(form_.Handle(), why, caption_, MB_OK | MB_ICONWARNING);
  if (focus != nullptr) {
    focus->SetFocus();
    focus->SetSelection(0, -1);
  }
}

bool DialogFrame::Ask(const std::string& question) {
  return ShowMessageBox(form_.Handle(), question, caption_, MB_OKCANCEL | MB_ICONQUESTION) == IDOK;
}

std::string TrimmedText(std::string text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!text.empty() && blank(text.back())) text.pop_back();
  std::size_t start = 0;
  while (start < text.size() && blank(text[start])) ++start;
  return text.substr(start);
}

std::string TrimmedText(const EditControl& box) {
  return TrimmedText(box.Text().Bytes());
}

}  // namespace belvane
