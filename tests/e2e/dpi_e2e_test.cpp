// Belvane.exe on a 100 % and a 150 % screen (Wine's LogPixels), and moved from one to the other:
// its controls stay inside the window and apart, and what it sizes in pixels itself (the
// columns, the clock's font) follows the DPI. The screen must hold the window at 150 % (the
// private Xvfb of scripts/wine-env.sh does); a smaller one squeezes it, and the test says so.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "tests/e2e/belvane_app.h"

namespace belvane::e2e {
namespace {

// The screen DPI the Wine programs started while this lives see: they read LogPixels once, as
// they start. What was there before is put back at the end, so the suite's other programs keep
// 96; the test is run serially for the same reason.
class ScreenDpi {
 public:
  explicit ScreenDpi(DWORD dpi) {
    RegCreateKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, nullptr, 0,
                    KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &key_, nullptr);
    DWORD value = 0, size = sizeof value, type = 0;
    if (RegQueryValueExA(key_, "LogPixels", nullptr, &type, reinterpret_cast<BYTE*>(&value),
                         &size) == ERROR_SUCCESS &&
        type == REG_DWORD) {
      before_ = value;
    }
    RegSetValueExA(key_, "LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi),
                   sizeof dpi);
  }
  ~ScreenDpi() {
    if (before_) {
      RegSetValueExA(key_, "LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&*before_),
                     sizeof *before_);
    } else {
      RegDeleteValueA(key_, "LogPixels");
    }
    RegCloseKey(key_);
  }
  ScreenDpi(const ScreenDpi&) = delete;
  ScreenDpi& operator=(const ScreenDpi&) = delete;

 private:
  HKEY key_ = nullptr;
  std::optional<DWORD> before_;
};

struct Control {
  int id;
  std::string class_name;
  RECT rect;  // in the main window's client coordinates
};

// What the user sees of the main window, measured from outside.
struct Layout {
  RECT window{};  // screen coordinates
  RECT client{};
  std::vector<Control> controls;  // the visible ones
  std::vector<int> columns;
  int row_height = 0;
  int clock_text_height = 0;  // rows of the clock label where blue text is drawn
};

// Rows of the screen rectangle that hold a pixel of the clock's pure blue (anti-aliased edges
// count when mostly blue).
int BlueRows(const RECT& screen) {
  const int width = screen.right - screen.left, height = screen.bottom - screen.top;
  if (width <= 0 || height <= 0) return 0;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HDC screen_dc = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen_dc);
  HBITMAP bitmap = CreateDIBSection(screen_dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen_dc, screen.left, screen.top, SRCCOPY);
  GdiFlush();
  int rows = 0;
  const auto* pixels = static_cast<const DWORD*>(bits);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const DWORD p = pixels[y * width + x];  // 0x00RRGGBB
      const int r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
      if (b > 160 && r < 110 && g < 110) {
        ++rows;
        break;
      }
    }
  }
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen_dc);
  return rows;
}

Layout Measure(const BelvaneApp& app) {
  Layout layout;
  const HWND main = app.Main().Handle();
  GetWindowRect(main, &layout.window);
  GetClientRect(main, &layout.client);
  for (HWND child = GetWindow(main, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    const RemoteWindow control(child);
    if (!control.Visible()) continue;
    RECT rect{};
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, main, reinterpret_cast<POINT*>(&rect), 2);
    layout.controls.push_back({GetDlgCtrlID(child), control.ClassName(), rect});
  }
  const RemoteListView list = app.Timetable();
  for (int i = 0; i < 4; ++i) layout.columns.push_back(list.ColumnWidth(i));
  RECT row{};
  if (list.RowRect(0, &row)) layout.row_height = row.bottom - row.top;
  // The clock repaints every second: the tallest of a few looks, so a capture between its
  // erase and its text does not count.
  RECT clock{};
  GetWindowRect(app.Control(kClockLabel).Handle(), &clock);
  for (int look = 0; look < 5; ++look) {
    layout.clock_text_height = std::max(layout.clock_text_height, BlueRows(clock));
    Sleep(50);
  }
  return layout;
}

std::string Describe(const Control& control) {
  return control.class_name + " " + std::to_string(control.id) + " (" +
         std::to_string(control.rect.left) + "," + std::to_string(control.rect.top) + ")-(" +
         std::to_string(control.rect.right) + "," + std::to_string(control.rect.bottom) + ")";
}

// Every visible control inside the client area, no two overlapping; the template places them
// so at any DPI (the hidden placeholder under the list view is not visible).
void ExpectInsideAndApart(const Layout& layout) {
  ASSERT_GE(layout.controls.size(), 17u);  // 16 visible template items and the list view
  for (size_t i = 0; i < layout.controls.size(); ++i) {
    const Control& a = layout.controls[i];
    EXPECT_TRUE(a.rect.left >= 0 && a.rect.top >= 0 && a.rect.right <= layout.client.right &&
                a.rect.bottom <= layout.client.bottom && a.rect.left < a.rect.right &&
                a.rect.top < a.rect.bottom)
        << Describe(a) << " outside the client area " << layout.client.right << "x"
        << layout.client.bottom;
    for (size_t j = i + 1; j < layout.controls.size(); ++j) {
      const Control& b = layout.controls[j];
      RECT common{};
      EXPECT_FALSE(IntersectRect(&common, &a.rect, &b.rect))
          << Describe(a) << " overlaps " << Describe(b);
    }
  }
}

double Ratio(int large, int small) {
  return small > 0 ? static_cast<double>(large) / small : 0;
}

// Drawn text grows by about half from 96 to 144 DPI; glyphs round to whole pixels at each size,
// so the bounds are loose, but far from the 1.0 of a size that does not follow the DPI.
void ExpectGrownByHalf(int small, int large, const char* what) {
  EXPECT_GE(Ratio(large, small), 1.3) << what << ": " << small << " -> " << large;
  EXPECT_LE(Ratio(large, small), 1.8) << what << ": " << small << " -> " << large;
}

RECT ClockOnScreen(const BelvaneApp& app) {
  RECT rect{};
  GetWindowRect(app.Control(kClockLabel).Handle(), &rect);
  return rect;
}

Layout StartAndMeasure(BelvaneApp& app, DWORD dpi) {
  {
    const ScreenDpi screen(dpi);
    EXPECT_TRUE(app.Start()) << app.Process().SetUpError();
  }
  EXPECT_TRUE(app.Settle());
  EXPECT_TRUE(WaitUntil([&] { return BlueRows(ClockOnScreen(app)) > 0; }))
      << "the clock's text never showed";
  return Measure(app);
}

TEST(DpiLayout, AtOneHundredAndOneHundredFiftyPercentControlsFitApartAndPixelSizesScale) {
  Layout small, large;
  {
    // One window at a time, so neither covers the other's clock.
    BelvaneApp app;
    small = StartAndMeasure(app, 96);
  }
  {
    SCOPED_TRACE("96 DPI");
    ExpectInsideAndApart(small);
    EXPECT_EQ(small.columns, (std::vector<int>{50, 100, 300, 60}));
  }
  {
    BelvaneApp app;
    large = StartAndMeasure(app, 144);
  }
  {
    SCOPED_TRACE("144 DPI");
    ExpectInsideAndApart(large);
    EXPECT_EQ(large.columns, (std::vector<int>{75, 150, 450, 90}));
  }
  for (const Layout* layout : {&small, &large}) {
    std::printf("client %ldx%ld, columns %d %d %d %d, clock text %d px, row %d px\n",
                layout->client.right, layout->client.bottom, layout->columns[0], layout->columns[1],
                layout->columns[2], layout->columns[3], layout->clock_text_height,
                layout->row_height);
  }
  // The template follows the DPI through its font; what the program draws follows it too.
  EXPECT_NEAR(Ratio(large.client.right, small.client.right), 1.5, 0.1);
  EXPECT_NEAR(Ratio(large.client.bottom, small.client.bottom), 1.5, 0.1);
  ExpectGrownByHalf(small.clock_text_height, large.clock_text_height, "clock text");
  ExpectGrownByHalf(small.row_height, large.row_height, "row");
}

TEST(DpiLayout, MovedToAScreenOfAnotherDpiTheWindowTakesTheSuggestedPlaceAndScales) {
  BelvaneApp app;
  const Layout before = StartAndMeasure(app, 96);
  // What the system sends when the window is dragged to a 150 % screen: the new DPI and the
  // rectangle it suggests (here simply the window grown by half, moved a little).
  const RECT& w = before.window;
  const RECT suggested{w.left + 8, w.top + 8, w.left + 8 + (w.right - w.left) * 3 / 2,
                       w.top + 8 + (w.bottom - w.top) * 3 / 2};
  ASSERT_TRUE(
      app.Main().SendWithData(WM_DPICHANGED, MAKEWPARAM(144, 144), &suggested, sizeof suggested));
  ASSERT_TRUE(app.Settle());
  // The clock repaints in its own time: wait for its larger text (or give up and let the
  // check below say what it saw).
  WaitUntil([&] { return BlueRows(ClockOnScreen(app)) * 10 >= before.clock_text_height * 13; });
  const Layout after = Measure(app);
  EXPECT_EQ(std::vector<LONG>(
                {after.window.left, after.window.top, after.window.right, after.window.bottom}),
            std::vector<LONG>({suggested.left, suggested.top, suggested.right, suggested.bottom}));
  ExpectInsideAndApart(after);
  EXPECT_EQ(after.columns, (std::vector<int>{75, 150, 450, 90}));
  ExpectGrownByHalf(before.clock_text_height, after.clock_text_height, "clock text");
  ExpectGrownByHalf(before.row_height, after.row_height, "row");
  EXPECT_NEAR(Ratio(after.client.right, before.client.right), 1.5, 0.1);
}

}  // namespace
}  // namespace belvane::e2e
