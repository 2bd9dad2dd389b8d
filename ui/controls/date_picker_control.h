#pragma once
// DatePickerControl: a date picker ("SysDateTimePick32") showing a calendar date; the time of
// day is not used. Constructing one initialises the date classes (InitCommonControlsEx), so a
// dialog template may hold the control once the object exists.

#include <windows.h>
#include <commctrl.h>

#include <optional>

#include "ui/window_object.h"

namespace belvane {

class DatePickerControl : public WindowObject {
 public:
  DatePickerControl();

  // ---- Hooks replaced from WindowObject
  // DTN_DATETIMECHANGE calls the date-changed handler (no arguments); returns 0.
  LRESULT NotifyReflection(HWND parent, HWND sender, int code, int id, LPARAM lparam) override;
  void DestroyingHook() override;

  // ---- Date
  // DTM_GETSYSTEMTIME: the date shown; nothing when no date is shown (DTS_SHOWNONE unchecked)
  // or the object is detached.
  std::optional<SYSTEMTIME> Date() const;
  // DTM_SETSYSTEMTIME, GDT_VALID: shows `date`; false when the picker refuses it.
  bool Date(const SYSTEMTIME& date);

  // Binds the handler called when the user changes the date; returns it.
  EventHandler BindDateChanged(EventHandler handler);
  // The bound date-changed handler.
  EventHandler DateChangedHandler() const { return date_changed_; }

 private:
  EventHandler date_changed_ = nullptr;
};

}  // namespace belvane
