#pragma once
// The base of the dialog-item controls (label, frame, button, drop list, edit box, list box):
// a text colour, a background colour (or kTransparent) and the brush that belongs to it, and
// the colour rule the parent's WM_CTLCOLOR* reflection applies.

#include "ui/window_object.h"

namespace belvane {

class ColouredControl : public WindowObject {
 public:
  // Background colour meaning "let the parent show through".
  static constexpr COLORREF kTransparent = static_cast<COLORREF>(-1);

  // ---- Hooks replaced from WindowObject
  LRESULT ControlColourReflection(HWND control, HDC dc) override;
  void DestroyingHook() override;

  // ---- Shared control operations, in slot order
  // CreateWindowExA of a child control of the given class.
  bool CreateControl(HWND parent, const TextValue& class_name, const TextValue& text, DWORD style,
                     int left, int top, int width, int height, int id, DWORD ex_style = 0);
  // The text colour (0x00BBGGRR).
  COLORREF TextColour() const { return text_colour_; }
  // Sets the text colour; redraws unless repaint is false.
  void TextColour(COLORREF colour, bool repaint = true);
  // The background colour, or kTransparent.
  COLORREF BackgroundColour() const { return background_colour_; }
  // Sets the background colour and its brush (kTransparent: WS_EX_TRANSPARENT and the null
  // brush); redraws unless repaint is false.
  void BackgroundColour(COLORREF colour, bool repaint = true);
  // The class's own cleanup when its window is destroyed (nothing here).
  virtual void ClassCleanup() {}

  // The background brush (owned), 0 when none.
  HBRUSH BackgroundBrush() const { return brush_.Get(); }

 private:
  COLORREF text_colour_ = 0;
  COLORREF background_colour_ = 0;
  OwnedBrush brush_;
};

}  // namespace belvane
