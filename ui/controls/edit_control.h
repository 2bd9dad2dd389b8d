#pragma once
// EditControl: an edit box. Attaching gives it the default GUI font and a white background.

#include "ui/controls/coloured_control.h"

namespace belvane {

class EditControl : public ColouredControl {
 public:
  // ---- Hooks replaced from WindowObject / ColouredControl
  LRESULT CommandReflection(HWND parent, HWND control, int code, int id) override;
  void ClassCleanup() override;

  // Creates an edit box.
  bool CreateEdit(HWND parent, const TextValue& text, int left, int top, int width, int height,
                  int id, DWORD style = ES_AUTOHSCROLL | WS_TABSTOP,
                  DWORD ex_style = WS_EX_CLIENTEDGE);
  // Attaches the dialog item; on success the background becomes white (no repaint).
  bool AttachToDialogItem(HWND dialog, int item_id, bool use_default_font = true) override;
  // The text (GetWindowTextA).
  TextValue Text() const { return GetText(); }
  // SetWindowTextA.
  bool Text(const TextValue& text) { return SetText(text); }
  // EM_SETSEL (end -1: to the end).
  void SetSelection(int start, int end);
  // EM_GETSEL: low word start, high word end.
  DWORD GetSelection() const;
  // Puts the text after the last character (EM_SETSEL to the end, EM_REPLACESEL).
  void AppendText(const TextValue& text);
  // EM_REPLACESEL.
  void ReplaceSelection(const TextValue& text, bool can_undo = false);
  // EM_LIMITTEXT (0: the platform's maximum).
  void LimitText(int bytes);
  // EM_GETPASSWORDCHAR.
  char PasswordCharacter() const;
  // EM_SETPASSWORDCHAR (0 shows the text).
  void PasswordCharacter(char character);
  // EM_SETREADONLY.
  bool ReadOnly(bool read_only);
  // EM_GETRECT.
  RECT FormattingRect() const;
  // EM_SETRECTNP.
  void FormattingRect(const RECT& rect);
  // Binds the text-changed (EN_CHANGE) handler; returns it.
  EventHandler BindTextChanged(EventHandler handler);
  // The bound text-changed handler.
  EventHandler TextChangedHandler() const { return text_changed_; }

 private:
  EventHandler text_changed_ = nullptr;
};

}  // namespace belvane
