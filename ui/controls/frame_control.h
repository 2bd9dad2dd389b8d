#pragma once
// FrameControl: a static frame or rectangle (the timetable's placeholder). Attaching never sets
// the default font nor a colour.

#include "ui/controls/coloured_control.h"

namespace belvane {

class FrameControl : public ColouredControl {
 public:
  // Creates a static frame (SS_BLACKFRAME unless another style is given).
  bool CreateFrame(HWND parent, int left, int top, int width, int height, int id,
                   DWORD style = SS_BLACKFRAME);
  // Attaches the dialog item, keeping its template font.
  bool AttachToDialogItem(HWND dialog, int item_id, bool use_default_font = false) override;
};

}  // namespace belvane
