#include "ui/controls/coloured_control.h"

#include "ui/window_layer.h"

namespace belvane {

LRESULT ColouredControl::ControlColourReflection(HWND control, HDC dc) {
  if (background_colour_ == kTransparent) {
    SetTextColor(dc, text_colour_);
    SetBkMode(dc, TRANSPARENT);
    // Copy what the parent shows under the control, so the control looks see-through.
    HWND parent = GetParent(control);
    RECT rect{};
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    HDC parent_dc = GetDC(parent);
    BitBlt(dc, 0, 0, rect.right - rect.left, rect.bottom - rect.top, parent_dc, rect.left, rect.top,
           SRCCOPY);
    ReleaseDC(parent, parent_dc);
    return reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
  }
  if (brush_) {
    SetTextColor(dc, text_colour_);
    SetBkColor(dc, background_colour_);
    return reinterpret_cast<LRESULT>(brush_.Get());
  }
  return 0;
}

void ColouredControl::DestroyingHook() {
  ClassCleanup();
  brush_.Reset();
  text_colour_ = 0;
  background_colour_ = 0;
}

bool ColouredControl::CreateControl(HWND parent, const TextValue& class_name, const TextValue& text,
                                    DWORD style, int left, int top, int width, int height, int id,
                                    DWORD ex_style) {
  if (!CreateWindowObject(ex_style, class_name, text, WS_CHILD | WS_VISIBLE | style, left, top,
                          width, height, parent, id))
    return false;
  SendWindowMessage(WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), TRUE);
  return true;
}

void ColouredControl::TextColour(COLORREF colour, bool repaint) {
  text_colour_ = colour;
  if (repaint) Redraw(true);
}

void ColouredControl::BackgroundColour(COLORREF colour, bool repaint) {
  if (colour == kTransparent) {
    AddExtendedStyle(WS_EX_TRANSPARENT);
    // The stock null brush is not ours; keep no brush and answer with the stock one.
    brush_.Reset();
  } else {
    RemoveExtendedStyle(WS_EX_TRANSPARENT);
    brush_.Reset(CreateSolidBrush(colour));
  }
  background_colour_ = colour;
  if (repaint) Redraw(true);
}

}  // namespace belvane
