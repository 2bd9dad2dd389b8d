#include "ui/controls/date_picker_control.h"

namespace belvane {

DatePickerControl::DatePickerControl() {
  INITCOMMONCONTROLSEX init{sizeof(INITCOMMONCONTROLSEX), ICC_DATE_CLASSES};
  InitCommonControlsEx(&init);
}

LRESULT DatePickerControl::NotifyReflection(HWND, HWND, int code, int, LPARAM) {
  // Notification codes are negative numbers that the headers spell as unsigned.
  if (static_cast<UINT>(code) == static_cast<UINT>(DTN_DATETIMECHANGE)) CallHandler(date_changed_);
  return 0;
}

void DatePickerControl::DestroyingHook() {
  date_changed_ = nullptr;
}

std::optional<SYSTEMTIME> DatePickerControl::Date() const {
  SYSTEMTIME date{};
  if (Handle() == nullptr ||
      SendWindowMessage(DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&date)) != GDT_VALID)
    return std::nullopt;
  return date;
}

bool DatePickerControl::Date(const SYSTEMTIME& date) {
  return SendWindowMessage(DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&date)) != 0;
}

EventHandler DatePickerControl::BindDateChanged(EventHandler handler) {
  date_changed_ = handler;
  return handler;
}

}  // namespace belvane
