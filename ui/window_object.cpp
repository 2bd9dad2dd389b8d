#include "ui/window_object.h"

#include <commctrl.h>
#include <shellapi.h>

#include <string>

#include "runtime/message_box.h"
#include "ui/event_binder.h"
#include "ui/window_layer.h"

namespace belvane {

std::int32_t ModifierKeys() {
  auto down = [](int key) { return (GetAsyncKeyState(key) & 0x8000) != 0; };
  std::int32_t keys = 0;
  if (down(VK_CONTROL)) keys |= kCtrlDown;
  if (down(VK_SHIFT)) keys |= kShiftDown;
  if (down(VK_MENU)) keys |= kAltDown;
  return keys;
}

namespace {

// Mouse positions: x as an unsigned word, y sign-extended.
std::intptr_t MouseX(LPARAM lparam) {
  return LOWORD(lparam);
}
std::intptr_t MouseY(LPARAM lparam) {
  return static_cast<short>(HIWORD(lparam));
}

}  // namespace

WindowObject::~WindowObject() {
  // An object outliving its window was detached on WM_NCDESTROY; one going first lets the
  // window go back to its own procedure so no message reaches freed memory.
  if (window_ != nullptr && IsWindow(window_)) DetachByHandle();
}

// ---- Routing

LRESULT WindowObject::WindowProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  SetRoutedWindow(window);
  auto ends = [](LRESULT result) { return result != 0; };
  switch (message) {
    case WM_NCDESTROY: {
      WNDPROC kept = kept_procedure_;
      DetachWindow(window);
      return kept ? CallWindowProcA(kept, window, message, wparam, lparam)
                  : DefWindowProcA(window, message, wparam, lparam);
    }
    case WM_LBUTTONDOWN:
      if (LRESULT r = LeftButtonDownHook(window)) return r;
      if (ends(CallHandler(Slot(InputEvent::kLeftButtonDown), MouseX(lparam), MouseY(lparam),
                           ModifierKeys())))
        return 1;
      break;
    case WM_LBUTTONUP:
      if (LRESULT r = LeftButtonUpHook(window)) return r;
      if (ends(CallHandler(Slot(InputEvent::kLeftButtonUp), MouseX(lparam), MouseY(lparam),
                           ModifierKeys())))
        return 1;
      break;
    case WM_LBUTTONDBLCLK:
      if (LRESULT r = LeftDoubleClickHook(window)) return r;
      if (ends(CallHandler(Slot(InputEvent::kLeftDoubleClick), MouseX(lparam), MouseY(lparam),
                           ModifierKeys())))
        return 1;
      break;
    case WM_RBUTTONDOWN:
      if (ends(CallHandler(Slot(InputEvent::kRightButtonDown), MouseX(lparam), MouseY(lparam),
                           ModifierKeys())))
        return 1;
      break;
    case WM_RBUTTONUP:
      if (ends(CallHandler(Slot(InputEvent::kRightButtonUp), MouseX(lparam), MouseY(lparam),
                           ModifierKeys())))
        return 1;
      break;
    case WM_MOUSEMOVE:
      if (LRESULT r = MouseMoveHook(window)) return r;
      if (ends(CallHandler(Slot(InputEvent::kMouseMove), MouseX(lparam), MouseY(lparam),
                           ModifierKeys())))
        return 1;
      break;
    case WM_SETFOCUS:
      CallHandler(Slot(InputEvent::kGotFocus));
      break;
    case WM_KILLFOCUS:
      CallHandler(Slot(InputEvent::kLostFocus));
      break;
    case WM_KEYDOWN:
      if (LRESULT r = KeyDownHook(window, wparam)) return r;
      if (ends(CallHandler(Slot(InputEvent::kKeyDown), wparam, ModifierKeys()))) return 1;
      break;
    case WM_KEYUP:
      if (ends(CallHandler(Slot(InputEvent::kKeyUp), wparam, ModifierKeys()))) return 1;
      break;
    case WM_MOUSEWHEEL:
      if (ends(CallHandler(Slot(InputEvent::kWheel), static_cast<short>(HIWORD(wparam)),
                           ModifierKeys())))
        return 1;
      break;
    case WM_CHAR:
      if (ends(CallHandler(Slot(InputEvent::kCharacter), wparam))) return 1;
      break;
    case WM_SETCURSOR:
      if (LRESULT r = CursorHook(window, wparam, lparam)) return r;
      break;
    case WM_PAINT:
      if (Slot(InputEvent::kPaint) != nullptr) {
        if (LRESULT r = RoutePaint(window)) return r;
      }
      PaintFallback(window);
      break;
    case WM_ERASEBKGND:
      if (LRESULT r = BackgroundEraseHook(window, reinterpret_cast<HDC>(wparam))) return r;
      break;
    case WM_HSCROLL:
    case WM_VSCROLL:
      if (lparam != 0) {
        if (WindowObject* child = Registry().Find(reinterpret_cast<HWND>(lparam))) {
          if (LRESULT r = child->ScrollReflection(LOWORD(wparam), HIWORD(wparam), lparam)) return r;
        }
      }
      break;
    case WM_COMMAND:
      // Reflection to the child first; the message then goes on to the parent's procedure.
      if (lparam != 0) {
        if (WindowObject* child = Registry().Find(reinterpret_cast<HWND>(lparam))) {
          if (LRESULT r = child->CommandReflection(window, reinterpret_cast<HWND>(lparam),
                                                   HIWORD(wparam), LOWORD(wparam)))
            return r;
        }
      }
      break;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lparam);
      if (header != nullptr) {
        HWND sender = header->hwndFrom;
        // A tool tip's text request belongs to the window the tip is for.
        if (static_cast<int>(header->code) == static_cast<int>(TTN_GETDISPINFOA))
          sender = GetParent(header->hwndFrom);
        if (WindowObject* child = Registry().Find(sender)) {
          if (LRESULT r =
                  child->NotifyReflection(window, header->hwndFrom, static_cast<int>(header->code),
                                          static_cast<int>(header->idFrom), lparam))
            return r;
        }
      }
      break;
    }
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
      if (lparam != 0) {
        if (WindowObject* child = Registry().Find(reinterpret_cast<HWND>(lparam))) {
          if (LRESULT brush = child->ControlColourReflection(reinterpret_cast<HWND>(lparam),
                                                             reinterpret_cast<HDC>(wparam)))
            return brush;
        }
      }
      break;
    case WM_DRAWITEM: {
      const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lparam);
      if (item != nullptr) {
        if (WindowObject* child = Registry().Find(item->hwndItem)) {
          if (LRESULT r = child->DrawItemReflection(wparam, lparam)) return r;
        }
      }
      break;
    }
    case WM_DROPFILES:
      if (Slot(InputEvent::kFilesDropped) != nullptr)
        RouteFilesDropped(reinterpret_cast<HDROP>(wparam));
      break;
    case WM_MOUSELEAVE:
      if (LRESULT r = MouseLeaveHook()) return r;
      break;
    case WM_MOVING:
      if (LRESULT r = MovingHook(window, lparam)) return r;
      break;
    case WM_MOVE:
      if (LRESULT r = MovedHook(window, lparam)) return r;
      break;
    case WM_SIZE:
      SizeHook(window, wparam, lparam);
      break;
    default:
      break;
  }
  return PassOn(window, message, wparam, lparam);
}

LRESULT WindowObject::PassOn(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (kept_procedure_ == nullptr) return DefWindowProcA(window, message, wparam, lparam);
  return CallWindowProcA(kept_procedure_, window, message, wparam, lparam);
}

LRESULT WindowObject::RoutePaint(HWND window) {
  PAINTSTRUCT paint{};
  HDC dc = BeginPaint(window, &paint);
  std::int32_t result =
      CallHandler(Slot(InputEvent::kPaint), reinterpret_cast<std::intptr_t>(dc), paint.rcPaint.left,
                  paint.rcPaint.top, paint.rcPaint.right, paint.rcPaint.bottom);
  EndPaint(window, &paint);
  return result;
}

LRESULT WindowObject::RouteFilesDropped(HDROP drop) {
  UINT count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
  std::string names;
  for (UINT i = 0; i < count; ++i) {
    char name[MAX_PATH] = {};
    DragQueryFileA(drop, i, name, MAX_PATH);
    if (i > 0) names += "\r\n";
    names += name;
  }
  DragFinish(drop);
  return CallHandler(Slot(InputEvent::kFilesDropped),
                     reinterpret_cast<std::intptr_t>(names.c_str()));
}

LRESULT WindowObject::DefaultProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  return DefWindowProcA(window, message, wparam, lparam);
}
INT_PTR WindowObject::DialogMessageHook(HWND, UINT, WPARAM, LPARAM) {
  return 0;
}
LRESULT WindowObject::MdiChildDefaultProcedure(HWND window, UINT message, WPARAM wparam,
                                               LPARAM lparam) {
  return DefMDIChildProcA(window, message, wparam, lparam);
}
LRESULT WindowObject::FrameDefaultProcedure(HWND window, UINT message, WPARAM wparam,
                                            LPARAM lparam) {
  return DefWindowProcA(window, message, wparam, lparam);
}
LRESULT WindowObject::CommandReflection(HWND, HWND, int, int) {
  return 0;
}
LRESULT WindowObject::NotifyReflection(HWND, HWND, int, int, LPARAM) {
  return 0;
}
LRESULT WindowObject::ControlColourReflection(HWND, HDC) {
  return 0;
}

LRESULT WindowObject::CursorHook(HWND, WPARAM wparam, LPARAM lparam) {
  if (Busy()) {
    ::SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    return 1;
  }
  if (cursor_ && LOWORD(lparam) == HTCLIENT && reinterpret_cast<HWND>(wparam) == window_) {
    ::SetCursor(cursor_.Get());
    return 1;
  }
  return 0;
}

LRESULT WindowObject::PaintFallback(HWND) {
  return 0;
}
LRESULT WindowObject::BackgroundEraseHook(HWND, HDC) {
  return 0;
}
LRESULT WindowObject::ScrollReflection(int, int, LPARAM) {
  return 0;
}

LRESULT WindowObject::MouseMoveHook(HWND window) {
  if (Slot(InputEvent::kMouseEnter) != nullptr && !tracking_mouse_) {
    tracking_mouse_ = true;
    TRACKMOUSEEVENT track{sizeof(TRACKMOUSEEVENT), TME_LEAVE, window, 0};
    TrackMouseEvent(&track);
    return CallHandler(Slot(InputEvent::kMouseEnter));
  }
  return 0;
}

LRESULT WindowObject::DrawItemReflection(WPARAM, LPARAM) {
  return 0;
}

LRESULT WindowObject::MouseLeaveHook() {
  tracking_mouse_ = false;
  return CallHandler(Slot(InputEvent::kMouseLeave));
}

LRESULT WindowObject::LeftButtonDownHook(HWND) {
  return 0;
}
LRESULT WindowObject::LeftDoubleClickHook(HWND) {
  return 0;
}
LRESULT WindowObject::KeyDownHook(HWND, WPARAM) {
  return 0;
}
LRESULT WindowObject::MovingHook(HWND, LPARAM) {
  return 0;
}
LRESULT WindowObject::MovedHook(HWND, LPARAM) {
  return 0;
}
LRESULT WindowObject::LeftButtonUpHook(HWND) {
  return 0;
}
LRESULT WindowObject::SizeHook(HWND, WPARAM, LPARAM) {
  return 0;
}
void WindowObject::DestroyingHook() {}

void WindowObject::DetachWindow(HWND window) {
  if (window == nullptr) return;
  DestroyingHook();
  // The registry forgets the handle too: the platform may reuse its value for a new window,
  // which must not be routed to this object.
  Registry().Erase(window);
  if (kept_procedure_ != nullptr)
    SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(kept_procedure_));
  cursor_.Reset();
  font_.Reset();
  window_ = nullptr;
  kept_procedure_ = nullptr;
  handlers_.fill(nullptr);
  tracking_mouse_ = false;
}

// ---- Window

void WindowObject::AttachHandle(HWND window) {
  window_ = window;
  Registry().Insert(window, this);
  auto current = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(window, GWLP_WNDPROC));
  if (current != &SharedWindowProcedure) {
    kept_procedure_ = current;
    SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&SharedWindowProcedure));
  }
}

bool WindowObject::CreateWindowObject(DWORD ex_style, const TextValue& class_name,
                                      const TextValue& title, DWORD style, int left, int top,
                                      int width, int height, HWND parent, int id) {
  if (window_ != nullptr) return false;
  HMENU menu = (style & WS_CHILD) ? reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)) : nullptr;
  HWND window = CreateWindowExA(ex_style, class_name.CStr(), title.CStr(), style, left, top, width,
                                height, parent, menu, LayerInstance(), nullptr);
  if (window == nullptr) return false;
  AttachHandle(window);
  return true;
}

HWND WindowObject::DetachByHandle() {
  HWND window = window_;
  if (window == nullptr) return nullptr;
  if (kept_procedure_ != nullptr)
    SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(kept_procedure_));
  Registry().Erase(window);
  window_ = nullptr;
  kept_procedure_ = nullptr;
  return window;
}

bool WindowObject::AttachToDialogItem(HWND dialog, int item_id, bool use_default_font) {
  if (window_ != nullptr) return false;
  HWND item = GetDlgItem(dialog, item_id);
  if (item == nullptr) return false;
  AttachHandle(item);
  if (use_default_font)
    SendWindowMessage(WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), TRUE);
  return true;
}

bool WindowObject::AttachToWindow(HWND window) {
  if (window_ != nullptr || window == nullptr || !IsWindow(window)) return false;
  AttachHandle(window);
  return true;
}

TextValue WindowObject::ClassName() const {
  char name[256] = {};
  int length = GetClassNameA(window_, name, sizeof name);
  return TextValue(std::string_view(name, length > 0 ? length : 0));
}

int WindowObject::ControlId() const {
  return GetDlgCtrlID(window_);
}
bool WindowObject::Exists() const {
  return IsWindow(window_) != FALSE;
}

void WindowObject::Close() {
  if (window_ != nullptr) SendWindowMessage(WM_CLOSE);
}

HWND WindowObject::SetFocus() {
  return ::SetFocus(window_);
}
bool WindowObject::HasFocus() const {
  return window_ != nullptr && GetFocus() == window_;
}

RECT WindowObject::ClientRect() const {
  RECT rect{};
  GetClientRect(window_, &rect);
  return rect;
}

RECT WindowObject::RectInParent() const {
  RECT rect{};
  if (!GetWindowRect(window_, &rect)) return RECT{};
  MapWindowPoints(nullptr, GetParent(window_), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

void WindowObject::SuspendRedraw() {
  SendWindowMessage(WM_SETREDRAW, FALSE);
}
void WindowObject::ResumeRedraw() {
  SendWindowMessage(WM_SETREDRAW, TRUE);
}
bool WindowObject::Redraw(bool erase) {
  return InvalidateRect(window_, nullptr, erase) != FALSE;
}
bool WindowObject::InvalidateRectangle(const RECT& rect, bool erase) {
  return InvalidateRect(window_, &rect, erase) != FALSE;
}
bool WindowObject::Validate() {
  return ValidateRect(window_, nullptr) != FALSE;
}
bool WindowObject::UpdateNow() {
  return UpdateWindow(window_) != FALSE;
}

bool WindowObject::MoveAndSize(std::optional<int> left, std::optional<int> top,
                               std::optional<int> width, std::optional<int> height, bool repaint) {
  RECT rect{};
  if (!GetWindowRect(window_, &rect)) return false;
  POINT corner{rect.left, rect.top};
  ScreenToClient(GetParent(window_), &corner);
  return MoveWindow(window_, left.value_or(corner.x), top.value_or(corner.y),
                    width.value_or(rect.right - rect.left), height.value_or(rect.bottom - rect.top),
                    repaint) != FALSE;
}

namespace {

// The window rectangle with its top-left corner in the parent's client coordinates.
struct PlacedRect {
  int left = 0, top = 0, width = 0, height = 0;
};

PlacedRect Placed(HWND window) {
  RECT rect{};
  if (!GetWindowRect(window, &rect)) return {};
  POINT corner{rect.left, rect.top};
  // A top-level window has no parent: ScreenToClient(0) leaves screen coordinates.
  ScreenToClient(GetParent(window), &corner);
  return {corner.x, corner.y, rect.right - rect.left, rect.bottom - rect.top};
}

}  // namespace

int WindowObject::Left() const {
  return Placed(window_).left;
}
int WindowObject::Top() const {
  return Placed(window_).top;
}
int WindowObject::Width() const {
  return Placed(window_).width;
}
int WindowObject::Height() const {
  return Placed(window_).height;
}

bool WindowObject::Left(int value, bool repaint) {
  PlacedRect p = Placed(window_);
  return MoveWindow(window_, value, p.top, p.width, p.height, repaint) != FALSE;
}
bool WindowObject::Top(int value, bool repaint) {
  PlacedRect p = Placed(window_);
  return MoveWindow(window_, p.left, value, p.width, p.height, repaint) != FALSE;
}
bool WindowObject::Width(int value, bool repaint) {
  PlacedRect p = Placed(window_);
  return MoveWindow(window_, p.left, p.top, value, p.height, repaint) != FALSE;
}
bool WindowObject::Height(int value, bool repaint) {
  PlacedRect p = Placed(window_);
  return MoveWindow(window_, p.left, p.top, p.width, value, repaint) != FALSE;
}

bool WindowObject::ZOrder(int place) {
  HWND after = HWND_TOP;
  switch (place) {
    case 2:
      after = HWND_BOTTOM;
      break;
    case 3:
      after = HWND_TOPMOST;
      break;
    case 4:
      after = HWND_NOTOPMOST;
      break;
    default:
      break;
  }
  return SetWindowPos(window_, after, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE) != FALSE;
}

LRESULT WindowObject::SendWindowMessage(UINT message, WPARAM wparam, LPARAM lparam) const {
  return SendMessageA(window_, message, wparam, lparam);
}
bool WindowObject::PostWindowMessage(UINT message, WPARAM wparam, LPARAM lparam) const {
  return PostMessageA(window_, message, wparam, lparam) != FALSE;
}
HWND WindowObject::SetParentWindow(HWND parent) {
  return SetParent(window_, parent);
}
HWND WindowObject::ParentWindow() const {
  return GetParent(window_);
}

bool WindowObject::Visible() const {
  return IsWindowVisible(window_) != FALSE;
}
bool WindowObject::Visible(bool show) {
  return ShowWindow(window_, show ? SW_SHOW : SW_HIDE) != FALSE;
}
bool WindowObject::Disabled() const {
  return window_ != nullptr && !IsWindowEnabled(window_);
}
bool WindowObject::Disabled(bool disabled) {
  return EnableWindow(window_, !disabled) != FALSE;
}

LONG_PTR WindowObject::SetStyleBits(int index, LONG_PTR style) {
  LONG_PTR before = SetWindowLongPtrA(window_, index, style);
  SetWindowPos(window_, nullptr, 0, 0, 0, 0,
               SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  return before;
}

LONG_PTR WindowObject::Style() const {
  return GetWindowLongPtrA(window_, GWL_STYLE);
}
LONG_PTR WindowObject::Style(LONG_PTR style) {
  return SetStyleBits(GWL_STYLE, style);
}
LONG_PTR WindowObject::AddStyle(LONG_PTR bits) {
  LONG_PTR before = Style();
  SetStyleBits(GWL_STYLE, before | bits);
  return before;
}
LONG_PTR WindowObject::RemoveStyle(LONG_PTR bits) {
  LONG_PTR before = Style();
  SetStyleBits(GWL_STYLE, before & ~bits);
  return before;
}
LONG_PTR WindowObject::ExtendedStyle() const {
  return GetWindowLongPtrA(window_, GWL_EXSTYLE);
}
LONG_PTR WindowObject::ExtendedStyle(LONG_PTR style) {
  return SetStyleBits(GWL_EXSTYLE, style);
}
LONG_PTR WindowObject::AddExtendedStyle(LONG_PTR bits) {
  LONG_PTR before = ExtendedStyle();
  SetStyleBits(GWL_EXSTYLE, before | bits);
  return before;
}
LONG_PTR WindowObject::RemoveExtendedStyle(LONG_PTR bits) {
  LONG_PTR before = ExtendedStyle();
  SetStyleBits(GWL_EXSTYLE, before & ~bits);
  return before;
}

TextValue WindowObject::GetText() const {
  int length = GetWindowTextLengthA(window_);
  if (length <= 0) return TextValue();
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  int copied = GetWindowTextA(window_, text.data(), length + 1);
  text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
  return TextValue(std::move(text));
}

bool WindowObject::SetText(const TextValue& text) {
  return SetWindowTextA(window_, text.CStr()) != FALSE;
}

int WindowObject::ShowMessageBox(const TextValue& text, const TextValue& caption, UINT type) {
  // Every box goes through the program's one routing point, so tests can answer it.
  TextValue shown_caption = caption.IsEmpty() ? TextValue("信息：") : caption;
  return belvane::ShowMessageBox(window_, text, shown_caption, type) - 1;
}

bool WindowObject::SetProperty(const TextValue& name, HANDLE value) {
  return SetPropA(window_, name.CStr(), value) != FALSE;
}
HANDLE WindowObject::GetProperty(const TextValue& name) const {
  return GetPropA(window_, name.CStr());
}
HANDLE WindowObject::RemoveProperty(const TextValue& name) {
  return RemovePropA(window_, name.CStr());
}

void WindowObject::SetOwnCursor(HCURSOR cursor) {
  cursor_.Reset(cursor);
  if (cursor != nullptr) ::SetCursor(cursor);
}

void WindowObject::SetFont(HFONT font) {
  font_.Reset(font);
  SendWindowMessage(WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

HFONT WindowObject::GetFont() const {
  return reinterpret_cast<HFONT>(SendWindowMessage(WM_GETFONT));
}

bool WindowObject::SetRegion(HRGN region) {
  bool applied = SetWindowRgn(window_, region, TRUE) != 0;
  // On success the system owns the region; only a refused one is still ours to delete.
  if (!applied && region != nullptr) DeleteObject(region);
  return applied;
}

bool WindowObject::SetRegionFromPicture(HBITMAP picture, COLORREF transparent) {
  BITMAP info{};
  if (picture == nullptr || !GetObjectA(picture, sizeof info, &info)) return false;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HGDIOBJ old = SelectObject(memory, picture);
  HRGN region = CreateRectRgn(0, 0, 0, 0);
  for (int y = 0; y < info.bmHeight; ++y) {
    int x = 0;
    while (x < info.bmWidth) {
      while (x < info.bmWidth && GetPixel(memory, x, y) == transparent) ++x;
      int start = x;
      while (x < info.bmWidth && GetPixel(memory, x, y) != transparent) ++x;
      if (x > start) {
        HRGN run = CreateRectRgn(start, y, x, y + 1);
        CombineRgn(region, region, run, RGN_OR);
        DeleteObject(run);
      }
    }
  }
  SelectObject(memory, old);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return SetRegion(region);
}

bool WindowObject::RoundCorners(int corner) {
  HRGN region = CreateRoundRectRgn(0, 0, Width() + 1, Height() + 1, corner, corner);
  return SetRegion(region);
}

void WindowObject::AcceptDroppedFiles(bool accept) {
  DragAcceptFiles(window_, accept);
}

HICON WindowObject::ClassIcon(bool big) const {
  return reinterpret_cast<HICON>(GetClassLongPtrA(window_, big ? GCLP_HICON : GCLP_HICONSM));
}
HICON WindowObject::ClassIcon(HICON icon, bool big) {
  return reinterpret_cast<HICON>(
      SetClassLongPtrA(window_, big ? GCLP_HICON : GCLP_HICONSM, reinterpret_cast<LONG_PTR>(icon)));
}
HCURSOR WindowObject::ClassCursor() const {
  return reinterpret_cast<HCURSOR>(GetClassLongPtrA(window_, GCLP_HCURSOR));
}
HCURSOR WindowObject::ClassCursor(HCURSOR cursor) {
  return reinterpret_cast<HCURSOR>(
      SetClassLongPtrA(window_, GCLP_HCURSOR, reinterpret_cast<LONG_PTR>(cursor)));
}

// ---- Binders

BELVANE_DEFINE_BINDER(WindowObject, LeftButtonDown, InputEvent::kLeftButtonDown)
BELVANE_DEFINE_BINDER(WindowObject, LeftButtonUp, InputEvent::kLeftButtonUp)
BELVANE_DEFINE_BINDER(WindowObject, LeftDoubleClick, InputEvent::kLeftDoubleClick)
BELVANE_DEFINE_BINDER(WindowObject, RightButtonDown, InputEvent::kRightButtonDown)
BELVANE_DEFINE_BINDER(WindowObject, RightButtonUp, InputEvent::kRightButtonUp)
BELVANE_DEFINE_BINDER(WindowObject, MouseMove, InputEvent::kMouseMove)
BELVANE_DEFINE_BINDER(WindowObject, GotFocus, InputEvent::kGotFocus)
BELVANE_DEFINE_BINDER(WindowObject, LostFocus, InputEvent::kLostFocus)
BELVANE_DEFINE_BINDER(WindowObject, KeyDown, InputEvent::kKeyDown)
BELVANE_DEFINE_BINDER(WindowObject, KeyUp, InputEvent::kKeyUp)
BELVANE_DEFINE_BINDER(WindowObject, Wheel, InputEvent::kWheel)
BELVANE_DEFINE_BINDER(WindowObject, Character, InputEvent::kCharacter)
BELVANE_DEFINE_BINDER(WindowObject, FilesDropped, InputEvent::kFilesDropped)
BELVANE_DEFINE_BINDER(WindowObject, MouseEnter, InputEvent::kMouseEnter)
BELVANE_DEFINE_BINDER(WindowObject, MouseLeave, InputEvent::kMouseLeave)
BELVANE_DEFINE_BINDER(WindowObject, Paint, InputEvent::kPaint)

}  // namespace belvane
