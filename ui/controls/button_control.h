#pragma once
// ButtonControl: a push button whose clicks (BN_CLICKED reflected by the parent) call the bound
// click handler with no arguments, before the parent's own procedure sees the WM_COMMAND.
// Attaching a dialog item sets no colours.

#include "ui/controls/coloured_control.h"

namespace belvane {

class ButtonControl : public ColouredControl {
 public:
  // ---- Hooks replaced from WindowObject / ColouredControl
  LRESULT CommandReflection(HWND parent, HWND control, int code, int id) override;
  void ClassCleanup() override;

  // Creates a push button.
  bool CreateButton(HWND parent, const TextValue& text, int left, int top, int width, int height,
                    int id, DWORD style = BS_PUSHBUTTON | WS_TABSTOP);
  // The caption (GetWindowTextA).
  TextValue Caption() const { return GetText(); }
  // SetWindowTextA.
  void Caption(const TextValue& text);
  // BM_CLICK.
  void Click();
  // BM_SETIMAGE with an icon (IMAGE_ICON) or a bitmap; the object owns it, the previous one of
  // that kind is destroyed.
  void SetImage(HICON icon);
  void SetImage(HBITMAP bitmap);
  // BM_GETIMAGE of the given kind (IMAGE_ICON or IMAGE_BITMAP).
  HANDLE GetImage(UINT kind = IMAGE_BITMAP) const;
  // Stores the click handler (also while detached) and returns it.
  EventHandler SetClickHandler(EventHandler handler);
  // The bound click handler.
  EventHandler ClickHandler() const { return click_handler_; }

 private:
  EventHandler click_handler_ = nullptr;
  OwnedBitmap bitmap_;
  OwnedIcon icon_;
};

}  // namespace belvane
