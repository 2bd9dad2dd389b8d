#include "app/calendar/exam_hall_window.h"

#include <string>
#include <utility>

#include "app/calendar/exam_hall_face.h"
#include "runtime/gbk.h"
#include "ui/gdi_object.h"

namespace belvane {

namespace {

constexpr wchar_t kClassName[] = L"BelvaneExamHallClock";
constexpr UINT_PTR kTickTimer = 1;
// Often enough that the seconds never visibly lag the clock.
constexpr UINT kTickMs = 200;

struct ExamHall {
  HWND owner = nullptr;
  ExamHallSource source;
  ExamHallFace face;
  OwnedFont large;
  OwnedFont medium;
  OwnedFont small;
};

ExamHallFace FaceNow(const ExamHall& hall) {
  ExamHallDay day = hall.source ? hall.source() : ExamHallDay{};
  SYSTEMTIME now{};
  GetLocalTime(&now);
  const int second = day.now.value_or(now.wHour * 3600 + now.wMinute * 60 + now.wSecond);
  std::vector<TimetableEntry> rows;
  if (day.rows) {
    rows.reserve(day.rows->RowCount());
    for (int i = 0; i < day.rows->RowCount(); ++i) rows.push_back(day.rows->Row(i));
  }
  return ExamHallFaceAt(second, day.sessions, rows);
}

HFONT MakeFont(int height, int weight) {
  return CreateFontW(-height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY,
                     DEFAULT_PITCH | FF_SWISS, L"Microsoft YaHei");
}

void MakeFonts(ExamHall& hall, int height) {
  hall.large.Reset(MakeFont(height / 4, FW_BOLD));
  hall.medium.Reset(MakeFont(height / 11, FW_BOLD));
  hall.small.Reset(MakeFont(height / 18, FW_NORMAL));
}

void DrawBand(HDC dc, const RECT& client, double top, double bottom, HFONT font, COLORREF colour,
              const std::string& text) {
  RECT band{client.left, client.top + static_cast<LONG>((client.bottom - client.top) * top),
            client.right, client.top + static_cast<LONG>((client.bottom - client.top) * bottom)};
  const std::wstring wide = WideFromGbk(text);
  SelectObject(dc, font);
  SetTextColor(dc, colour);
  DrawTextW(dc, wide.c_str(), static_cast<int>(wide.size()), &band,
            DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
}

// Into a bitmap first, then at once: a second's change never flickers on a projector.
void Paint(HWND window, const ExamHall& hall) {
  PAINTSTRUCT paint;
  const HDC screen = BeginPaint(window, &paint);
  RECT client;
  GetClientRect(window, &client);
  const HDC dc = CreateCompatibleDC(screen);
  const OwnedBitmap bitmap(CreateCompatibleBitmap(screen, client.right, client.bottom));
  const HGDIOBJ old_bitmap = SelectObject(dc, bitmap.Get());
  const HGDIOBJ old_font = GetCurrentObject(dc, OBJ_FONT);
  FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  SetBkMode(dc, TRANSPARENT);
  const ExamHallFace& face = hall.face;
  DrawBand(dc, client, 0.05, 0.20, hall.medium.Get(), RGB(255, 255, 255), face.session);
  DrawBand(dc, client, 0.20, 0.55, hall.large.Get(), RGB(255, 255, 255), face.time);
  DrawBand(dc, client, 0.58, 0.76, hall.medium.Get(), RGB(255, 210, 0), face.countdown);
  DrawBand(dc, client, 0.80, 0.92, hall.small.Get(), RGB(190, 190, 190), face.next);
  BitBlt(screen, 0, 0, client.right, client.bottom, dc, 0, 0, SRCCOPY);
  SelectObject(dc, old_font);
  SelectObject(dc, old_bitmap);
  DeleteDC(dc);
  EndPaint(window, &paint);
}

void Close(HWND window, const ExamHall& hall) {
  // The owner first, so that it, not another program, becomes active again.
  if (hall.owner) EnableWindow(hall.owner, TRUE);
  DestroyWindow(window);
}

LRESULT CALLBACK ExamHallProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* hall = reinterpret_cast<ExamHall*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (message == WM_NCCREATE) {
    hall = static_cast<ExamHall*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(hall));
  }
  if (!hall) return DefWindowProcW(window, message, wparam, lparam);
  switch (message) {
    case WM_TIMER:
      if (wparam == kTickTimer) {
        ExamHallFace face = FaceNow(*hall);
        if (face != hall->face) {
          hall->face = std::move(face);
          InvalidateRect(window, nullptr, FALSE);
        }
        return 0;
      }
      break;
    case WM_SIZE:
      MakeFonts(*hall, HIWORD(lparam));
      InvalidateRect(window, nullptr, FALSE);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      Paint(window, *hall);
      return 0;
    case WM_KEYDOWN:
      if (wparam == VK_ESCAPE) Close(window, *hall);
      return 0;
    case WM_LBUTTONDBLCLK:
      Close(window, *hall);
      return 0;
    case WM_CLOSE:
      Close(window, *hall);
      return 0;
    case WM_DESTROY:
      KillTimer(window, kTickTimer);
      SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      return 0;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace

void RunExamHallClock(HWND owner, ExamHallSource source) {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof window_class;
  window_class.style = CS_DBLCLKS;
  window_class.lpfnWndProc = ExamHallProc;
  window_class.hInstance = instance;
  window_class.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
  window_class.lpszClassName = kClassName;
  // A second opening finds the class registered already.
  RegisterClassExW(&window_class);

  // The monitor of the main window, which owns whatever window opened the clock.
  HWND main = owner ? GetAncestor(owner, GA_ROOTOWNER) : nullptr;
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  GetMonitorInfoW(MonitorFromWindow(main ? main : owner, MONITOR_DEFAULTTONEAREST), &monitor);
  const RECT area = monitor.rcMonitor;

  ExamHall hall;
  hall.owner = owner;
  hall.source = std::move(source);
  hall.face = FaceNow(hall);
  const HWND window = CreateWindowExW(WS_EX_TOPMOST, kClassName, L"Belvane", WS_POPUP, area.left,
                                      area.top, area.right - area.left, area.bottom - area.top,
                                      owner, nullptr, instance, &hall);
  if (!window) return;
  if (owner) EnableWindow(owner, FALSE);
  SetTimer(window, kTickTimer, kTickMs, nullptr);
  ShowWindow(window, SW_SHOW);
  SetForegroundWindow(window);
  SetFocus(window);

  // Every message of the thread goes on (the main window's tasks included) until it closes.
  MSG message;
  while (IsWindow(window)) {
    const BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got <= 0) {
      // The program is ending: the loop that waits for this ends it.
      if (IsWindow(window)) Close(window, hall);
      if (got == 0) PostQuitMessage(static_cast<int>(message.wParam));
      break;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  if (owner) EnableWindow(owner, TRUE);
}

}  // namespace belvane
