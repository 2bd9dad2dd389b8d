#pragma once
// Pixels at the window's DPI. The program declares itself DPI aware, so the system no longer
// stretches its window: every size it sets in pixels is given at 96 DPI and scaled here, and
// the dialog is laid out again when the window moves to a screen of another DPI.
//
// Thread policy: the arithmetic anywhere; the rest user-interface thread only.

#include <windows.h>

#include <utility>
#include <vector>

#include "ui/gdi_object.h"

namespace belvane {

// The DPI the program's pixel sizes are written for (100 % on every Windows).
inline constexpr unsigned kBaseDpi = 96;

// `value` pixels at `from_dpi` as pixels at `to_dpi`, rounded to the nearest (halves away from
// zero, so font heights, which are negative, scale like positive sizes). A DPI of 0 (what the
// platform answers for a window that is gone) counts as kBaseDpi.
int ScalePixels(int value, unsigned to_dpi, unsigned from_dpi = kBaseDpi);

// A rectangle's four edges scaled one by one: rectangles that touch or stay apart at one DPI
// touch or stay apart at every other, which scaling position and size separately cannot promise.
RECT ScaleRect(const RECT& rect, unsigned to_dpi, unsigned from_dpi);

// The DPI `window` is shown at: GetDpiForWindow where the system has it (Windows 10 1607 on),
// otherwise the screen's LOGPIXELSY, the one DPI of older systems.
unsigned WindowDpi(HWND window);
// The DPI the stock fonts and system metrics are made for.
unsigned SystemDpi();

// Lays a dialog out again at another DPI: the window takes the rectangle the system suggests,
// every child its rectangle at the captured DPI scaled, and its font as captured, scaled. A
// child whose font the program has replaced since is left to the program.
class DialogScaler {
 public:
  // Records the dialog's children and their fonts as they are now, and stops the system's own
  // rescaling of the dialog (Windows 10 1703 on), which would fight this one. The stock GUI
  // font is made for `stock_font_dpi` (the system DPI): on a screen of another DPI the
  // children that have it get a copy scaled for the window at once.
  void Capture(HWND dialog, unsigned stock_font_dpi = SystemDpi());
  // Lays the captured dialog out for `dpi`; `suggested` (screen coordinates) may be null to
  // keep the window where it is. False when nothing was captured.
  bool Apply(HWND dialog, unsigned dpi, const RECT* suggested);
  // The DPI the dialog is laid out for now (0 before Capture).
  unsigned Dpi() const { return dpi_; }

 private:
  // One font the children shared at capture (the dialog's, the stock one, the program's own).
  struct FontGroup {
    HFONT captured;        // not owned: whoever set it keeps it
    LOGFONTW description;  // at made_for
    unsigned made_for;     // the DPI its size is for
    OwnedFont scaled;      // the copy for dpi_, when that is not made_for
  };
  struct Child {
    HWND window;
    RECT rect;         // client coordinates of the dialog at the captured DPI
    std::size_t font;  // index into fonts_; kNoFont when it had none
  };
  static constexpr std::size_t kNoFont = static_cast<std::size_t>(-1);
  unsigned captured_dpi_ = 0;
  unsigned dpi_ = 0;
  std::vector<FontGroup> fonts_;
  std::vector<Child> children_;
};

}  // namespace belvane
