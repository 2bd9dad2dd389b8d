#include "ui/dpi.h"

#include <cstdint>

namespace belvane {

namespace {

unsigned Usable(unsigned dpi) {
  return dpi == 0 ? kBaseDpi : dpi;
}

// A user32 function that older Windows lacks: null there. Never linked directly, so the
// program still starts on Windows 7.
template <typename F>
F User32Function(const char* name) {
  HMODULE user32 = GetModuleHandleA("user32.dll");
  if (user32 == nullptr) return nullptr;
  return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(user32, name)));
}

unsigned ScreenDpi(HWND window) {
  HDC dc = GetDC(window);
  if (dc == nullptr) return kBaseDpi;
  const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
  ReleaseDC(window, dc);
  return dpi > 0 ? static_cast<unsigned>(dpi) : kBaseDpi;
}

// The rectangle a combo box is sized by: its closed part and the drop-down list together.
RECT ChildRect(HWND dialog, HWND child) {
  RECT rect{};
  char name[16] = {};
  GetClassNameA(child, name, sizeof name);
  if (lstrcmpiA(name, "ComboBox") == 0) {
    // Its result is no guide: some systems answer CB_OKAY, which is 0.
    SendMessageA(child, CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&rect));
    if (rect.bottom > rect.top) {
      MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
      return rect;
    }
  }
  GetWindowRect(child, &rect);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

}  // namespace

int ScalePixels(int value, unsigned to_dpi, unsigned from_dpi) {
  const std::int64_t to = Usable(to_dpi);
  const std::int64_t from = Usable(from_dpi);
  const std::int64_t product = static_cast<std::int64_t>(value) * to;
  const std::int64_t half = from / 2;
  return static_cast<int>(product >= 0 ? (product + half) / from : (product - half) / from);
}

RECT ScaleRect(const RECT& rect, unsigned to_dpi, unsigned from_dpi) {
  return RECT{ScalePixels(rect.left, to_dpi, from_dpi), ScalePixels(rect.top, to_dpi, from_dpi),
              ScalePixels(rect.right, to_dpi, from_dpi),
              ScalePixels(rect.bottom, to_dpi, from_dpi)};
}

unsigned WindowDpi(HWND window) {
  using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
  static const auto get_dpi = User32Function<GetDpiForWindowFunction>("GetDpiForWindow");
  if (get_dpi != nullptr) {
    if (const UINT dpi = get_dpi(window)) return dpi;
  }
  return ScreenDpi(window);
}

unsigned SystemDpi() {
  using GetDpiForSystemFunction = UINT(WINAPI*)();
  static const auto get_dpi = User32Function<GetDpiForSystemFunction>("GetDpiForSystem");
  if (get_dpi != nullptr) {
    if (const UINT dpi = get_dpi()) return dpi;
  }
  return ScreenDpi(nullptr);
}

void DialogScaler::Capture(HWND dialog, unsigned stock_font_dpi) {
  captured_dpi_ = dpi_ = WindowDpi(dialog);
  const HGDIOBJ stock_font = GetStockObject(DEFAULT_GUI_FONT);
  bool rescale = false;
  fonts_.clear();
  children_.clear();
  for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    const auto font = reinterpret_cast<HFONT>(SendMessageA(child, WM_GETFONT, 0, 0));
    std::size_t group = kNoFont;
    for (std::size_t i = 0; i < fonts_.size() && font != nullptr; ++i) {
      if (fonts_[i].captured == font) group = i;
    }
    LOGFONTW description{};
    if (group == kNoFont && font != nullptr &&
        GetObjectW(font, sizeof description, &description) != 0) {
      const unsigned made_for = font == stock_font ? Usable(stock_font_dpi) : captured_dpi_;
      rescale |= made_for != captured_dpi_;
      fonts_.push_back({font, description, made_for, OwnedFont()});
      group = fonts_.size() - 1;
    }
    children_.push_back({child, ChildRect(dialog, child), group});
  }
  using SetBehaviourFunction = BOOL(WINAPI*)(HWND, int, int);
  static const auto set_behaviour =
      User32Function<SetBehaviourFunction>("SetDialogDpiChangeBehavior");
  constexpr int kDisableAll = 1;  // DDC_DISABLE_ALL
  if (set_behaviour != nullptr) set_behaviour(dialog, kDisableAll, kDisableAll);
  if (rescale) Apply(dialog, captured_dpi_, nullptr);
}

bool DialogScaler::Apply(HWND dialog, unsigned dpi, const RECT* suggested) {
  if (captured_dpi_ == 0) return false;
  dpi = Usable(dpi);
  if (suggested != nullptr) {
    SetWindowPos(dialog, nullptr, suggested->left, suggested->top,
                 suggested->right - suggested->left, suggested->bottom - suggested->top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
  // Each group's font for the new DPI; the captured one itself at the DPI it was made for.
  std::vector<OwnedFont> made(fonts_.size());
  for (std::size_t i = 0; i < fonts_.size(); ++i) {
    if (dpi == fonts_[i].made_for) continue;
    LOGFONTW description = fonts_[i].description;
    description.lfHeight = ScalePixels(description.lfHeight, dpi, fonts_[i].made_for);
    description.lfWidth = ScalePixels(description.lfWidth, dpi, fonts_[i].made_for);
    made[i].Reset(CreateFontIndirectW(&description));
  }
  for (const Child& child : children_) {
    if (!IsWindow(child.window)) continue;
    // The font first: a combo box sets its closed height by it.
    if (child.font != kNoFont) {
      const FontGroup& group = fonts_[child.font];
      const auto now = reinterpret_cast<HFONT>(SendMessageA(child.window, WM_GETFONT, 0, 0));
      const HFONT font = made[child.font] ? made[child.font].Get() : group.captured;
      if (now != font && (now == group.captured || (group.scaled && now == group.scaled.Get())))
        SendMessageA(child.window, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
    // Only when it moves: setting a combo box's height again is not idempotent everywhere
    // (Wine takes the closed part off the drop-down list each time).
    const RECT rect = ScaleRect(child.rect, dpi, captured_dpi_);
    const RECT now = ChildRect(dialog, child.window);
    if (!EqualRect(&rect, &now)) {
      SetWindowPos(child.window, nullptr, rect.left, rect.top, rect.right - rect.left,
                   rect.bottom - rect.top, SWP_NOZORDER | SWP_NOACTIVATE);
    }
  }
  // The fonts the children used before are no longer selected anywhere: they may go.
  for (std::size_t i = 0; i < fonts_.size(); ++i) fonts_[i].scaled = std::move(made[i]);
  dpi_ = dpi;
  InvalidateRect(dialog, nullptr, TRUE);
  return true;
}

}  // namespace belvane
