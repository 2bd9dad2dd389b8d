// Pixel sizes at another DPI: the arithmetic, and the real main window laid out again.

#include <windows.h>
#include <commctrl.h>

#include <climits>
#include <map>
#include <vector>

#include "app/startup.h"
#include "tests/ui/main_dialog_fixture.h"
#include "ui/dpi.h"

namespace belvane::testing {
namespace {

TEST(Dpi, PixelsScaleToTheNearestWithHalvesAwayFromZero) {
  EXPECT_EQ(ScalePixels(50, 144), 75);
  EXPECT_EQ(ScalePixels(300, 144), 450);
  EXPECT_EQ(ScalePixels(50, 120), 63);  // 62.5
  EXPECT_EQ(ScalePixels(1, 144), 2);    // 1.5
  EXPECT_EQ(ScalePixels(-1, 144), -2);  // a font height, negative, grows like a positive one
  EXPECT_EQ(ScalePixels(-12, 144), -18);
  EXPECT_EQ(ScalePixels(75, 96, 144), 50);
  EXPECT_EQ(ScalePixels(20, 96), 20);
  EXPECT_EQ(ScalePixels(0, 288), 0);
  // No overflow on the way: the product is wider than int.
  EXPECT_EQ(ScalePixels(INT_MAX / 2, 192), INT_MAX - 1);
  // A DPI of 0 is the platform's answer for a window that is gone: taken as 96, never a
  // division by zero.
  EXPECT_EQ(ScalePixels(40, 0), 40);
  EXPECT_EQ(ScalePixels(40, 144, 0), 60);
}

TEST(Dpi, RectanglesThatTouchStillTouchAndNeverOverlapAtAnyDpi) {
  // A row of controls side by side, one pixel to several wide: scaling position and size
  // apart would open gaps or make them overlap at 125 % and 150 %.
  for (unsigned dpi : {72u, 96u, 120u, 144u, 168u, 192u, 240u}) {
    SCOPED_TRACE(dpi);
    int left = 3;
    RECT previous{};
    for (int width = 1; width <= 9; ++width) {
      const RECT scaled = ScaleRect(RECT{left, 5, left + width, 5 + width}, dpi, 96);
      if (width > 1) {
        EXPECT_EQ(scaled.left, previous.right);
      }
      EXPECT_LE(scaled.left, scaled.right);
      EXPECT_EQ(scaled.top, ScalePixels(5, dpi));
      previous = scaled;
      left += width;
    }
  }
}

// Every child of the dialog and where it is, in the dialog's client coordinates.
std::map<HWND, RECT> ChildRects(HWND dialog) {
  std::map<HWND, RECT> rects;
  for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    RECT rect{};
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    rects[child] = rect;
  }
  return rects;
}

LONG FontHeight(HWND window) {
  LOGFONTW font{};
  GetObjectW(reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0)), sizeof font, &font);
  return font.lfHeight;
}

std::vector<int> ColumnWidths(ListViewControl& view) {
  std::vector<int> widths;
  for (int i = 0; i < view.ColumnCount(); ++i) widths.push_back(view.ColumnWidth(i));
  return widths;
}

bool IsDropList(HWND window) {
  const int id = GetDlgCtrlID(window);
  return id == BELVANE_ID_HOUR || id == BELVANE_ID_MINUTE || id == BELVANE_ID_SECOND ||
         id == BELVANE_ID_TIMETABLE_CHOICE;
}

bool SameRect(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

TEST_F(MainDialogTest, MovingToAScreenOfAnotherDpiScalesEverythingAndMovingBackRestoresIt) {
  Run({[] {
    MainWindowControls& controls = ui->controls;
    const HWND dialog = Dialog();
    const unsigned dpi = WindowDpi(dialog);
    ASSERT_EQ(controls.layout.Dpi(), dpi);
    const std::map<HWND, RECT> before = ChildRects(dialog);
    const std::vector<int> columns = ColumnWidths(controls.timetable_list);
    EXPECT_EQ(columns, (std::vector<int>{ScalePixels(50, dpi), ScalePixels(100, dpi),
                                         ScalePixels(300, dpi), ScalePixels(60, dpi)}));
    EXPECT_EQ(FontHeight(controls.clock_label.Handle()), ScalePixels(20, dpi));
    std::map<HWND, LONG> fonts;
    for (const auto& [child, rect] : before) fonts[child] = FontHeight(child);
    RECT hour_dropped{};
    SendMessageA(controls.hour_list.Handle(), CB_GETDROPPEDCONTROLRECT, 0,
                 reinterpret_cast<LPARAM>(&hour_dropped));

    // To twice the DPI: the window where the system suggests, everything else doubled.
    RECT window{};
    GetWindowRect(dialog, &window);
    const RECT suggested{window.left + 10, window.top + 20,
                         window.left + 10 + 2 * (window.right - window.left),
                         window.top + 20 + 2 * (window.bottom - window.top)};
    RescaleMainWindow(dialog, controls, 2 * dpi, &suggested);
    RECT moved{};
    GetWindowRect(dialog, &moved);
    EXPECT_TRUE(SameRect(moved, suggested));
    for (const auto& [child, rect] : ChildRects(dialog)) {
      SCOPED_TRACE(GetDlgCtrlID(child));
      const RECT& was = before.at(child);
      if (IsDropList(child)) {
        // A closed drop-down list's height follows its font; its place is scaled.
        EXPECT_EQ(rect.left, 2 * was.left);
        EXPECT_EQ(rect.top, 2 * was.top);
        EXPECT_EQ(rect.right, 2 * was.right);
        continue;
      }
      EXPECT_TRUE(SameRect(rect, RECT{2 * was.left, 2 * was.top, 2 * was.right, 2 * was.bottom}))
          << rect.left << "," << rect.top << "," << rect.right << "," << rect.bottom;
    }
    RECT dropped{};
    SendMessageA(controls.hour_list.Handle(), CB_GETDROPPEDCONTROLRECT, 0,
                 reinterpret_cast<LPARAM>(&dropped));
    // The drop-down list keeps its share of the window: its height is the one set, or (Wine)
    // that less the closed part's.
    RECT closed{};
    GetWindowRect(controls.hour_list.Handle(), &closed);
    EXPECT_LE(dropped.bottom - dropped.top, 2 * (hour_dropped.bottom - hour_dropped.top));
    EXPECT_GE(dropped.bottom - dropped.top,
              2 * (hour_dropped.bottom - hour_dropped.top) - (closed.bottom - closed.top));
    EXPECT_EQ(ColumnWidths(controls.timetable_list),
              (std::vector<int>{2 * columns[0], 2 * columns[1], 2 * columns[2], 2 * columns[3]}));
    // Every font doubled: the template's, the stock one the controls were given, the clock's.
    for (const auto& [child, height] : fonts) {
      EXPECT_EQ(FontHeight(child), 2 * height) << GetDlgCtrlID(child);
    }
    EXPECT_EQ(FontHeight(controls.clock_label.Handle()), ScalePixels(20, 2 * dpi));

    // A column the user widened stays wider in proportion; then back to where it began.
    controls.timetable_list.ColumnWidth(2, 2 * columns[2] + 40);
    RescaleMainWindow(dialog, controls, dpi, &window);
    EXPECT_EQ(ColumnWidths(controls.timetable_list),
              (std::vector<int>{columns[0], columns[1], columns[2] + 20, columns[3]}));
    RECT back{};
    GetWindowRect(dialog, &back);
    EXPECT_TRUE(SameRect(back, window));
    for (const auto& [child, rect] : ChildRects(dialog)) {
      SCOPED_TRACE(GetDlgCtrlID(child));
      EXPECT_TRUE(SameRect(rect, before.at(child)));
    }
    for (const auto& [child, height] : fonts) EXPECT_EQ(FontHeight(child), height);
    EXPECT_EQ(controls.layout.Dpi(), dpi);
    Close();
  }});
}

TEST_F(MainDialogTest, OnAScreenOfAnotherDpiThanTheSystemsTheStockFontIsScaledForTheWindow) {
  Run({[] {
    MainWindowControls& controls = ui->controls;
    const HWND dialog = Dialog();
    const unsigned dpi = WindowDpi(dialog);
    const auto stock = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    LOGFONTW stock_font{};
    GetObjectW(stock, sizeof stock_font, &stock_font);
    const std::map<HWND, RECT> before = ChildRects(dialog);
    std::map<HWND, HFONT> fonts;
    for (const auto& [child, rect] : before) {
      fonts[child] = reinterpret_cast<HFONT>(SendMessageW(child, WM_GETFONT, 0, 0));
    }
    ASSERT_EQ(fonts[controls.add_button.Handle()], stock);
    ASSERT_EQ(fonts[controls.timetable_list.Handle()], stock);

    // As if the system's DPI were half the window's: the window opened on a denser screen.
    controls.layout.Capture(dialog, dpi / 2);
    EXPECT_EQ(controls.layout.Dpi(), dpi);
    for (const auto& [child, font] : fonts) {
      SCOPED_TRACE(GetDlgCtrlID(child));
      if (font == stock) {
        EXPECT_EQ(FontHeight(child), 2 * stock_font.lfHeight);
      } else {
        EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(child, WM_GETFONT, 0, 0)), font);
      }
      // In place; a drop-down list's closed height follows its font.
      RECT now = ChildRects(dialog).at(child);
      const RECT& was = before.at(child);
      EXPECT_TRUE(now.left == was.left && now.top == was.top && now.right == was.right);
      if (!IsDropList(child)) {
        EXPECT_EQ(now.bottom, was.bottom);
      }
    }

    // Moved to a screen of the system's DPI, they have the stock font itself again.
    RescaleMainWindow(dialog, controls, dpi / 2, nullptr);
    for (const auto& [child, font] : fonts) {
      SCOPED_TRACE(GetDlgCtrlID(child));
      if (font == stock) {
        EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(child, WM_GETFONT, 0, 0)), stock);
      }
    }
    EXPECT_EQ(FontHeight(controls.clock_label.Handle()), ScalePixels(20, dpi / 2));
    Close();
  }});
}

}  // namespace
}  // namespace belvane::testing
