#pragma once
// WindowObject: the base of every window and control object of the layer. An object is
// attached to one platform window at a time (subclassed with SharedWindowProcedure) and
// detached again when that window is destroyed; it never owns the window itself. The fonts,
// brushes and cursors handed to it are owned by it.
//
// Teardown order on WM_NCDESTROY (DetachWindow): the class's destroying hook, unregister the
// handle, put back the window procedure kept at attach time, release the owned handles, clear
// every field so all handlers are unbound.
//
// Operations are declared in the fixed slot order of the shared operation table. Properties
// read without a value and write with one. On a detached object every operation acts on window
// handle 0 and returns the platform call's failure value.

#include <windows.h>

#include <array>
#include <optional>

#include "runtime/text_value.h"
#include "ui/event_handler.h"
#include "ui/gdi_object.h"

namespace belvane {

class WindowObject {
 public:
  // The sixteen input events, in field order.
  enum class InputEvent {
    kLeftButtonDown,
    kLeftButtonUp,
    kLeftDoubleClick,
    kRightButtonDown,
    kRightButtonUp,
    kMouseMove,
    kGotFocus,
    kLostFocus,
    kKeyDown,
    kKeyUp,
    kCharacter,
    kWheel,
    kFilesDropped,
    kMouseEnter,
    kMouseLeave,
    kPaint,
    kCount
  };

  WindowObject() = default;
  // Destroy: detaches from a live window first (restoring its procedure).
  virtual ~WindowObject();
  WindowObject(const WindowObject&) = delete;
  WindowObject& operator=(const WindowObject&) = delete;

  // ---- Routing (called by the layer's procedures)
  // The object's window procedure: hooks, reflection, bound handlers, then the kept procedure.
  virtual LRESULT WindowProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  // DefWindowProcA.
  virtual LRESULT DefaultProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  // Dialog messages of a FormWindow; controls return 0.
  virtual INT_PTR DialogMessageHook(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  // DefMDIChildProcA.
  LRESULT MdiChildDefaultProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  // DefWindowProcA, for frame windows.
  LRESULT FrameDefaultProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  // A WM_COMMAND of this control, routed by its parent; non-zero ends the message.
  virtual LRESULT CommandReflection(HWND parent, HWND control, int code, int id);
  // A WM_NOTIFY of this control, routed by its parent; non-zero ends the message.
  virtual LRESULT NotifyReflection(HWND parent, HWND sender, int code, int id, LPARAM lparam);
  // A WM_CTLCOLOR* of this control: a brush ends the message, 0 leaves the default colours.
  virtual LRESULT ControlColourReflection(HWND control, HDC dc);
  // WM_SETCURSOR: wait cursor while busy, else the own cursor over the client area.
  virtual LRESULT CursorHook(HWND window, WPARAM wparam, LPARAM lparam);
  // After a bound paint handler; returns 0.
  virtual LRESULT PaintFallback(HWND window);
  // WM_ERASEBKGND; non-zero means erased.
  virtual LRESULT BackgroundEraseHook(HWND window, HDC dc);
  // WM_HSCROLL / WM_VSCROLL of this control, routed by its parent.
  virtual LRESULT ScrollReflection(int code, int position, LPARAM lparam);
  // WM_MOUSEMOVE before the handler: starts leave tracking and calls mouse enter.
  virtual LRESULT MouseMoveHook(HWND window);
  // WM_DRAWITEM of this control, routed by its parent.
  virtual LRESULT DrawItemReflection(WPARAM wparam, LPARAM lparam);
  // WM_MOUSELEAVE: ends tracking and calls mouse leave.
  virtual LRESULT MouseLeaveHook();
  // WM_LBUTTONDOWN before the handler.
  virtual LRESULT LeftButtonDownHook(HWND window);
  // WM_LBUTTONDBLCLK before the handler.
  virtual LRESULT LeftDoubleClickHook(HWND window);
  // WM_KEYDOWN before the handler.
  virtual LRESULT KeyDownHook(HWND window, WPARAM key);
  // WM_MOVING.
  virtual LRESULT MovingHook(HWND window, LPARAM rect);
  // WM_MOVE.
  virtual LRESULT MovedHook(HWND window, LPARAM position);
  // WM_LBUTTONUP before the handler.
  virtual LRESULT LeftButtonUpHook(HWND window);
  // WM_SIZE; the message is passed on afterwards.
  virtual LRESULT SizeHook(HWND window, WPARAM kind, LPARAM size);
  // The class's cleanup on WM_NCDESTROY, before the base fields are cleared.
  virtual void DestroyingHook();
  // Detaches from the destroyed window (see the teardown order above); no effect for 0.
  void DetachWindow(HWND window);

  // ---- Window
  // CreateWindowExA with this object's window procedure; false when attached or on failure.
  bool CreateWindowObject(DWORD ex_style, const TextValue& class_name, const TextValue& title,
                          DWORD style, int left, int top, int width, int height, HWND parent,
                          int id);
  // Lets the window go without destroying it: unregisters and restores its procedure.
  HWND DetachByHandle();
  // Attaches the dialog's item; sends DEFAULT_GUI_FONT when asked. False when already attached
  // or the item does not exist.
  virtual bool AttachToDialogItem(HWND dialog, int item_id, bool use_default_font = true);
  // Attaches an existing window; false when already attached or the handle is 0.
  virtual bool AttachToWindow(HWND window);
  // The attached window, 0 when detached.
  HWND Handle() const { return window_; }
  // GetClassNameA.
  TextValue ClassName() const;
  // GetDlgCtrlID.
  int ControlId() const;
  // IsWindow.
  bool Exists() const;
  // Sends WM_CLOSE while attached.
  void Close();
  // SetFocus; returns the window that had the focus.
  HWND SetFocus();
  // GetFocus() == this window.
  bool HasFocus() const;
  // GetClientRect.
  RECT ClientRect() const;
  // The window rectangle in the parent's client coordinates.
  RECT RectInParent() const;
  // WM_SETREDRAW 0.
  void SuspendRedraw();
  // WM_SETREDRAW 1.
  void ResumeRedraw();
  // InvalidateRect of the whole window.
  bool Redraw(bool erase = true);
  // InvalidateRect of one rectangle.
  bool InvalidateRectangle(const RECT& rect, bool erase = true);
  // ValidateRect of the whole window.
  bool Validate();
  // UpdateWindow (the list view redraws its visible rows instead).
  virtual bool UpdateNow();
  // MoveWindow; the values not given keep their current values.
  bool MoveAndSize(std::optional<int> left, std::optional<int> top, std::optional<int> width,
                   std::optional<int> height, bool repaint = true);
  // Left edge in the parent's client coordinates.
  int Left() const;
  // Moves the left edge; MoveWindow's result.
  bool Left(int value, bool repaint = true);
  // Top edge in the parent's client coordinates.
  int Top() const;
  // Moves the top edge; MoveWindow's result.
  bool Top(int value, bool repaint = true);
  // Window width.
  int Width() const;
  // Sets the width; MoveWindow's result.
  bool Width(int value, bool repaint = true);
  // Window height.
  int Height() const;
  // Sets the height; MoveWindow's result.
  bool Height(int value, bool repaint = true);
  // SetWindowPos Z order: 1 top, 2 bottom, 3 topmost, 4 not topmost; anything else counts as 1.
  bool ZOrder(int place = 1);
  // SendMessageA.
  LRESULT SendWindowMessage(UINT message, WPARAM wparam = 0, LPARAM lparam = 0) const;
  // PostMessageA.
  bool PostWindowMessage(UINT message, WPARAM wparam = 0, LPARAM lparam = 0) const;
  // SetParent; returns the previous parent.
  HWND SetParentWindow(HWND parent);
  // GetParent.
  HWND ParentWindow() const;
  // IsWindowVisible.
  bool Visible() const;
  // ShowWindow SW_SHOW / SW_HIDE; returns whether the window was visible before.
  bool Visible(bool show);
  // !IsWindowEnabled.
  bool Disabled() const;
  // EnableWindow(!disabled); returns whether it was disabled before.
  bool Disabled(bool disabled);
  // GWL_STYLE.
  LONG_PTR Style() const;
  // Sets GWL_STYLE and refreshes the frame; returns the style before.
  LONG_PTR Style(LONG_PTR style);
  // ORs style bits in and refreshes the frame; returns the style before.
  LONG_PTR AddStyle(LONG_PTR bits);
  // Clears style bits and refreshes the frame; returns the style before.
  LONG_PTR RemoveStyle(LONG_PTR bits);
  // GWL_EXSTYLE.
  LONG_PTR ExtendedStyle() const;
  // Sets GWL_EXSTYLE and refreshes the frame; returns the extended style before.
  LONG_PTR ExtendedStyle(LONG_PTR style);
  // ORs extended style bits in and refreshes the frame; returns the extended style before.
  LONG_PTR AddExtendedStyle(LONG_PTR bits);
  // Clears extended style bits and refreshes the frame; returns the extended style before.
  LONG_PTR RemoveExtendedStyle(LONG_PTR bits);
  // GetWindowTextA, whole.
  TextValue GetText() const;
  // SetWindowTextA.
  bool SetText(const TextValue& text);
  // A message box owned by this window (caption "信息：" when empty); the button's id - 1.
  int ShowMessageBox(const TextValue& text, const TextValue& caption = {}, UINT type = MB_OK);
  // SetPropA.
  bool SetProperty(const TextValue& name, HANDLE value);
  // GetPropA.
  HANDLE GetProperty(const TextValue& name) const;
  // RemovePropA; returns the value removed.
  HANDLE RemoveProperty(const TextValue& name);
  // The own cursor, 0 for none.
  HCURSOR OwnCursor() const { return cursor_.Get(); }
  // Takes the cursor (destroying the previous own one) and shows it at once.
  void SetOwnCursor(HCURSOR cursor);
  // Takes ownership of the font (deleting the one held before) and sends WM_SETFONT.
  void SetFont(HFONT font);
  // WM_GETFONT.
  HFONT GetFont() const;
  // SetWindowRgn with redraw; the region handle is deleted afterwards.
  bool SetRegion(HRGN region);
  // A region of the bitmap's pixels other than the transparent colour.
  bool SetRegionFromPicture(HBITMAP picture, COLORREF transparent = 0xFFFFFF);
  // A rounded-rectangle region with corners of the given size.
  bool RoundCorners(int corner);
  // DragAcceptFiles.
  void AcceptDroppedFiles(bool accept = true);
  // The class icon (GCLP_HICONSM small, GCLP_HICON big).
  HICON ClassIcon(bool big = false) const;
  // Sets the class icon; returns the previous one.
  HICON ClassIcon(HICON icon, bool big);
  // The class cursor (GCLP_HCURSOR).
  HCURSOR ClassCursor() const;
  // Sets the class cursor; returns the previous one.
  HCURSOR ClassCursor(HCURSOR cursor);
  // Stores a window handle without attaching anything.
  void SetHandleField(HWND window) { window_ = window; }

  // ---- Input event binders (each returns the handler)
  EventHandler BindLeftButtonDown(EventHandler handler);
  EventHandler BindLeftButtonUp(EventHandler handler);
  EventHandler BindLeftDoubleClick(EventHandler handler);
  EventHandler BindRightButtonDown(EventHandler handler);
  EventHandler BindRightButtonUp(EventHandler handler);
  EventHandler BindMouseMove(EventHandler handler);
  EventHandler BindGotFocus(EventHandler handler);
  EventHandler BindLostFocus(EventHandler handler);
  EventHandler BindKeyDown(EventHandler handler);
  EventHandler BindKeyUp(EventHandler handler);
  EventHandler BindWheel(EventHandler handler);
  EventHandler BindCharacter(EventHandler handler);
  // The handler gets the dropped names joined by "\r\n" as a borrowed const char* (argument 0).
  EventHandler BindFilesDropped(EventHandler handler);
  EventHandler BindMouseEnter(EventHandler handler);
  EventHandler BindMouseLeave(EventHandler handler);
  // The handler gets (device context, left, top, right, bottom) of the paint rectangle.
  EventHandler BindPaint(EventHandler handler);

  // The bound handler of one input event (null when unbound).
  EventHandler Handler(InputEvent event) const { return handlers_[static_cast<int>(event)]; }
  // The window procedure kept at attach time.
  WNDPROC KeptProcedure() const { return kept_procedure_; }

 protected:
  // Enters the window in the registry and subclasses it (used by every attach path).
  void AttachHandle(HWND window);
  // Passes a message on to the procedure kept at attach time.
  LRESULT PassOn(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  // Sets a window long and refreshes the frame; returns the old value.
  LONG_PTR SetStyleBits(int index, LONG_PTR style);

 private:
  EventHandler& Slot(InputEvent event) { return handlers_[static_cast<int>(event)]; }
  LRESULT RouteFilesDropped(HDROP drop);
  LRESULT RoutePaint(HWND window);

  HWND window_ = nullptr;
  WNDPROC kept_procedure_ = nullptr;
  OwnedCursor cursor_;
  std::array<EventHandler, static_cast<int>(InputEvent::kCount)> handlers_{};
  bool tracking_mouse_ = false;
  OwnedFont font_;
};

}  // namespace belvane
