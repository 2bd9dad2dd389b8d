#pragma once
// DialogFrame: what every small dialog of the program repeats, in one place. It owns the
// dialog's form and its OK and Cancel buttons; Enter does what OK does and Esc what Cancel
// does; it says in a box why an answer is refused, and gives a box's text without the blanks
// around it. A dialog is an object holding one frame and its own controls; it binds its own
// members (EventHandler::Member), so its state lives in it and nowhere else.
//
// Thread policy: user-interface thread only, like every window object.

#include <windows.h>

#include <functional>
#include <string>

#include "ui/controls/button_control.h"
#include "ui/controls/edit_control.h"
#include "ui/form_window.h"

namespace belvane {

class DialogFrame {
 public:
  // `caption`: the caption of the boxes the frame shows (usually the dialog's own).
  explicit DialogFrame(std::string caption) : caption_(std::move(caption)) {}
  DialogFrame(const DialogFrame&) = delete;
  DialogFrame& operator=(const DialogFrame&) = delete;

  FormWindow& Form() { return form_; }
  const FormWindow& Form() const { return form_; }

  // Runs the dialog template modally; `init` attaches the dialog's controls (it gets the
  // dialog's handle). Returns true when it was closed by an accepted OK.
  bool Run(HWND owner, int template_id, std::function<void(HWND)> init);

  // Attaches the OK and Cancel buttons and binds them, Enter and Esc: OK and Enter ask
  // `accept`, and an answer of true closes the dialog as accepted; Cancel and Esc close it.
  // `keep_fonts` false keeps the template's own font on the buttons.
  void BindAcceptAndCancel(HWND dialog, int ok_id, int cancel_id, std::function<bool()> accept,
                           bool keep_fonts = false);

  // Closes the dialog; Accepted() then says which way.
  void Close(bool accepted);
  bool Accepted() const { return accepted_; }

  // A warning box over the dialog saying why; the focus then goes to `focus` with its text
  // selected, when one is given.
  void Refuse(const std::string& why, EditControl* focus = nullptr);
  // A question box over the dialog (OK and Cancel); true for OK.
  bool Ask(const std::string& question);

 private:
  std::string caption_;
  FormWindow form_;
  ButtonControl ok_;
  ButtonControl cancel_;
  std::function<bool()> accept_;
  bool accepted_ = false;
};

// The box's text without blanks (spaces, tabs) before or after it.
std::string TrimmedText(const EditControl& box);
// The same of any text.
std::string TrimmedText(std::string text);

}  // namespace belvane
