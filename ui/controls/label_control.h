#pragma once
// LabelControl: a static text. Attaching gives it the default GUI font and the button-face
// background; a transparent label repaints its parent under it when its text changes.

#include "ui/controls/coloured_control.h"

namespace belvane {

class LabelControl : public ColouredControl {
 public:
  // Creates a static text control.
  bool CreateLabel(HWND parent, const TextValue& text, int left, int top, int width, int height,
                   int id, DWORD style = SS_LEFT);
  // Attaches the dialog item; on success the background becomes COLOR_BTNFACE (no repaint).
  bool AttachToDialogItem(HWND dialog, int item_id, bool use_default_font = true) override;
  // The text (GetWindowTextA).
  TextValue Caption() const { return GetText(); }
  // SetWindowTextA; a transparent label repaints the parent area it covers.
  void Caption(const TextValue& text);
};

}  // namespace belvane
