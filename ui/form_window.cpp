#include "ui/form_window.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "runtime/process_frame.h"
#include "ui/event_binder.h"
#include "ui/window_layer.h"

namespace belvane {
namespace {

constexpr char kOwnerClass[] = "WTWindow";

// The class procedure of the hidden "WTWindow" owner windows.
LRESULT CALLBACK OwnerClassProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  return GuardedProcedure([&]() -> LRESULT {
    if (WindowObject* object = Registry().Find(window))
      return object->DefaultProcedure(window, message, wparam, lparam);
    return DefWindowProcA(window, message, wparam, lparam);
  });
}

// A hidden top-level window that owns a dialog so that the dialog gets no taskbar button.
HWND CreateHiddenOwner() {
  WNDCLASSEXA existing{};
  existing.cbSize = sizeof existing;
  if (!GetClassInfoExA(LayerInstance(), kOwnerClass, &existing)) {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
    wc.lpfnWndProc = &OwnerClassProcedure;
    wc.hInstance = LayerInstance();
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    wc.lpszMenuName = "";
    wc.lpszClassName = kOwnerClass;
    RegisterClassExA(&wc);
  }
  return CreateWindowExA(0, kOwnerClass, "ShowTaskbar", 0, 0, 0, 250, 110, nullptr, nullptr,
                         LayerInstance(), nullptr);
}

// Copies at most size - 1 bytes and terminates (tray texts live in fixed arrays).
template <std::size_t N>
void CopyText(char (&target)[N], const TextValue& text) {
  std::size_t length = text.Length() < N - 1 ? text.Length() : N - 1;
  std::memcpy(target, text.CStr(), length);
  target[length] = '\0';
}

}  // namespace

FormWindow::~FormWindow() {
  if (tray_) Shell_NotifyIconA(NIM_DELETE, tray_.get());
}

// ---- Hooks

INT_PTR FormWindow::DialogMessageHook(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG:
      if (init_handler_ != nullptr) {
        CallHandler(init_handler_, reinterpret_cast<std::intptr_t>(window));
        RECT client{};
        GetClientRect(window, &client);
        SendMessageA(window, WM_SIZE, 0, MAKELPARAM(client.right & 0xFFFF, client.bottom));
      }
      // 0: the dialog keeps the platform from setting the default focus.
      return 0;
    case WM_CLOSE:
      if (CallHandler(close_handler_) == 0) {
        if (modal_) {
          EndDialog(window, dialog_result_);
        } else {
          DestroyWindow(window);
        }
      }
      return 1;
    default:
      return WindowMessageHandler(window, message, wparam, lparam) != 0 ? 1 : 0;
  }
}

LRESULT FormWindow::BackgroundEraseHook(HWND window, HDC dc) {
  RECT client{};
  GetClientRect(window, &client);
  if (background_brush_) FillRect(dc, &client, background_brush_.Get());
  if (background_picture_) DrawPicture(dc, client);
  return 1;
}

LRESULT FormWindow::LeftButtonDownHook(HWND window) {
  if (drag_by_client_area_) {
    ReleaseCapture();
    SendMessageA(window, WM_NCLBUTTONDOWN, HTCAPTION, 0);
  }
  return 0;
}

void FormWindow::DestroyingHook() {
  if (tray_) Shell_NotifyIconA(NIM_DELETE, tray_.get());
  ResetFormFields();
}

void FormWindow::ResetFormFields() {
  background_brush_.Reset();
  background_colour_ = 0;
  background_picture_.Reset();
  picture_placement_ = 0;
  tray_.reset();
  tray_icon_.Reset();
  taskbar_created_message_ = 0;
  form_handlers_.fill(nullptr);
  keep_caption_active_ = false;
  drag_by_client_area_ = false;
  first_activation_seen_ = false;
  hotkey_handler_ = nullptr;
  ClearDialogPart();
}

// ---- Operations

void FormWindow::DrawPicture(HDC dc, const RECT& client) {
  BITMAP info{};
  if (!background_picture_ || picture_placement_ == 0 ||
      !GetObjectA(background_picture_.Get(), sizeof info, &info))
    return;
  HDC memory = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(memory, background_picture_.Get());
  if (picture_placement_ == 2) {
    SetStretchBltMode(dc, HALFTONE);
    StretchBlt(dc, 0, 0, client.right - client.left, client.bottom - client.top, memory, 0, 0,
               info.bmWidth, info.bmHeight, SRCCOPY);
  } else {
    BitBlt(dc, 0, 0, info.bmWidth, info.bmHeight, memory, 0, 0, SRCCOPY);
  }
  SelectObject(memory, old);
  DeleteDC(memory);
}

LRESULT FormWindow::WindowMessageHandler(HWND, UINT message, WPARAM wparam, LPARAM lparam) {
  auto call = [this](FormEvent event, auto... values) { CallHandler(Slot(event), values...); };
  switch (message) {
    case WM_DESTROY:
      call(FormEvent::kDestroyed);
      return 0;
    case WM_MOVE:
      call(FormEvent::kMoved, LOWORD(lparam), static_cast<short>(HIWORD(lparam)));
      return 0;
    case WM_SIZE:
      call(FormEvent::kResized, LOWORD(lparam), static_cast<short>(HIWORD(lparam)));
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(wparam) != 0) {
        if (!first_activation_seen_) {
          first_activation_seen_ = true;
          call(FormEvent::kFirstActivation);
        }
        call(FormEvent::kActivated);
      } else {
        call(FormEvent::kDeactivated);
      }
      return 0;
    case WM_SHOWWINDOW:
      call(wparam != 0 ? FormEvent::kShown : FormEvent::kHidden);
      return 0;
    case WM_NCACTIVATE:
      return (wparam == 0 && keep_caption_active_) ? 1 : 0;
    case WM_COMMAND:
      // Menus and accelerators only (Enter and Esc come here as IDOK / IDCANCEL): a control's
      // command was reflected to it already.
      if (HIWORD(wparam) <= 1 && lparam == 0) call(FormEvent::kMenuCommand, LOWORD(wparam));
      return 0;
    case WM_HOTKEY:
      CallHandler(hotkey_handler_, wparam, LOWORD(lparam), HIWORD(lparam));
      return 0;
    case kTrayMessage:
      if (Slot(FormEvent::kTrayEvent) != nullptr) {
        int code = 0;
        switch (static_cast<UINT>(lparam)) {
          case WM_MOUSEMOVE:
            code = 7;
            break;
          case WM_LBUTTONDOWN:
            code = 1;
            break;
          case WM_LBUTTONDBLCLK:
            code = 4;
            break;
          case WM_RBUTTONDOWN:
            code = 2;
            break;
          case WM_RBUTTONDBLCLK:
            code = 5;
            break;
          case WM_MBUTTONDOWN:
            code = 3;
            break;
          case WM_MBUTTONDBLCLK:
            code = 6;
            break;
          case NIN_BALLOONSHOW:
            code = 8;
            break;
          case NIN_BALLOONTIMEOUT:
            code = 9;
            break;
          case NIN_BALLOONUSERCLICK:
            code = 10;
            break;
          default:
            break;
        }
        call(FormEvent::kTrayEvent, code);
      }
      return 0;
    default:
      // The shell restarted: put the tray icon back.
      if (taskbar_created_message_ != 0 && message == taskbar_created_message_ && tray_) {
        Shell_NotifyIconA(NIM_DELETE, tray_.get());
        tray_->uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
        Shell_NotifyIconA(NIM_ADD, tray_.get());
      }
      return 0;
  }
}

void FormWindow::ClearDialogPart() {
  dialog_result_ = 0;
  modal_ = false;
  init_handler_ = nullptr;
  close_handler_ = nullptr;
}

bool FormWindow::CreateOwnedWindow(HWND owner, const TextValue& title, DWORD style, int left,
                                   int top, int width, int height, DWORD ex_style) {
  if (!CreateTopLevel("#32770", title, style, left, top, width, height, ex_style, owner))
    return false;
  if (owner != nullptr) {
    SendWindowMessage(WM_SETICON, ICON_SMALL, SendMessageA(owner, WM_GETICON, ICON_SMALL, 0));
    SendWindowMessage(WM_SETICON, ICON_BIG, SendMessageA(owner, WM_GETICON, ICON_BIG, 0));
  }
  return true;
}

void FormWindow::BackgroundColour(COLORREF colour, bool repaint) {
  background_brush_.Reset(CreateSolidBrush(colour));
  background_colour_ = colour;
  if (repaint) Redraw(true);
}

void FormWindow::BackgroundPicture(HBITMAP picture, int placement) {
  background_picture_.Reset(picture);
  picture_placement_ = picture ? placement : 0;
  Redraw(true);
}

int FormWindow::WindowState() const {
  if (IsIconic(Handle())) return 1;
  if (IsZoomed(Handle())) return 2;
  return 0;
}

int FormWindow::WindowState(int state) {
  int before = WindowState();
  int show = state == 1 ? SW_SHOWMINIMIZED : state == 2 ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL;
  ShowWindow(Handle(), show);
  return before;
}

HICON FormWindow::SetIcon(HICON icon, bool set, int size) {
  return reinterpret_cast<HICON>(SendWindowMessage(set ? WM_SETICON : WM_GETICON,
                                                   static_cast<WPARAM>(size),
                                                   set ? reinterpret_cast<LPARAM>(icon) : 0));
}

HMENU FormWindow::GetMenu() const {
  return ::GetMenu(Handle());
}
bool FormWindow::SetMenu(HMENU menu) {
  return ::SetMenu(Handle(), menu) != FALSE;
}
bool FormWindow::RedrawMenuBar() {
  return DrawMenuBar(Handle()) != FALSE;
}

bool FormWindow::AddTrayIcon(HICON icon, const TextValue& tip) {
  if (tray_) return false;
  if (taskbar_created_message_ == 0)
    taskbar_created_message_ = RegisterWindowMessageA("TaskbarCreated");
  tray_ = std::make_unique<NOTIFYICONDATAA>();
  tray_->cbSize = sizeof(NOTIFYICONDATAA);
  tray_->hWnd = Handle();
  tray_->uID = 1;
  tray_->uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  tray_->uCallbackMessage = kTrayMessage;
  tray_icon_.Reset(icon);
  tray_->hIcon = icon;
  CopyText(tray_->szTip, tip);
  if (Shell_NotifyIconA(NIM_ADD, tray_.get())) return true;
  tray_.reset();
  return false;
}

bool FormWindow::TrayModify(DWORD action, UINT flags) {
  if (!tray_) return false;
  tray_->uFlags = flags;
  return Shell_NotifyIconA(action, tray_.get()) != FALSE;
}

bool FormWindow::SetTrayTip(const TextValue& tip) {
  if (!tray_) return false;
  CopyText(tray_->szTip, tip);
  return TrayModify(NIM_MODIFY, NIF_TIP);
}

bool FormWindow::SetTrayIcon(HICON icon) {
  if (!tray_) return false;
  tray_icon_.Reset(icon);
  tray_->hIcon = icon;
  return TrayModify(NIM_MODIFY, NIF_ICON);
}

bool FormWindow::ShowTrayBalloon(const TextValue& title, const TextValue& text, DWORD info_flags) {
  if (!tray_) return false;
  CopyText(tray_->szInfoTitle, title);
  CopyText(tray_->szInfo, text);
  tray_->dwInfoFlags = info_flags;
  return TrayModify(NIM_MODIFY, NIF_INFO);
}

bool FormWindow::RemoveTrayIcon() {
  if (!tray_) return false;
  bool removed = Shell_NotifyIconA(NIM_DELETE, tray_.get()) != FALSE;
  tray_.reset();
  tray_icon_.Reset();
  return removed;
}

bool FormWindow::RegisterHotkey(int id, UINT modifiers, UINT key, EventHandler handler) {
  hotkey_handler_ = handler;
  return RegisterHotKey(Handle(), id, modifiers, key) != FALSE;
}

bool FormWindow::UnregisterHotkey(int id) {
  return UnregisterHotKey(Handle(), id) != FALSE;
}

BELVANE_DEFINE_BINDER(FormWindow, MenuCommand, FormEvent::kMenuCommand)
BELVANE_DEFINE_BINDER(FormWindow, Destroyed, FormEvent::kDestroyed)
BELVANE_DEFINE_BINDER(FormWindow, Moved, FormEvent::kMoved)
BELVANE_DEFINE_BINDER(FormWindow, Resized, FormEvent::kResized)
BELVANE_DEFINE_BINDER(FormWindow, Activated, FormEvent::kActivated)
BELVANE_DEFINE_BINDER(FormWindow, Deactivated, FormEvent::kDeactivated)
BELVANE_DEFINE_BINDER(FormWindow, FirstActivation, FormEvent::kFirstActivation)
BELVANE_DEFINE_BINDER(FormWindow, Shown, FormEvent::kShown)
BELVANE_DEFINE_BINDER(FormWindow, Hidden, FormEvent::kHidden)
BELVANE_DEFINE_BINDER(FormWindow, TrayEvent, FormEvent::kTrayEvent)

EventHandler FormWindow::BindHotkey(EventHandler handler) {
  hotkey_handler_ = handler;
  return handler;
}

bool FormWindow::CreateTopLevel(const TextValue& class_name, const TextValue& title, DWORD style,
                                int left, int top, int width, int height, DWORD ex_style,
                                HWND owner) {
  return CreateWindowObject(ex_style, class_name, title, style & ~WS_CHILD, left, top, width,
                            height, owner, 0);
}

INT_PTR FormWindow::RunDialog(HWND owner, int template_id, EventHandler init_handler,
                              const TextValue& class_name, bool show_in_taskbar) {
  if (Handle() != nullptr) return 0;
  HWND hidden_owner = nullptr;
  if (owner == nullptr && !show_in_taskbar) {
    hidden_owner = CreateHiddenOwner();
    owner = hidden_owner;
  }
  INT_PTR result = RunDialogFromTemplate(owner, template_id, init_handler, true, class_name);
  // The owner existed only for this dialog.
  if (hidden_owner != nullptr) DestroyWindow(hidden_owner);
  return result;
}

INT_PTR FormWindow::RunDialogFromTemplate(HWND owner, int template_id, EventHandler init_handler,
                                          bool modal, const TextValue& class_name) {
  if (Handle() != nullptr) return 0;
  SetPendingDialog(this);
  if (init_handler != nullptr) init_handler_ = init_handler;
  modal_ = modal;
  if (!class_name.IsEmpty() && class_name.View() != "#32770") {
    WNDCLASSEXA dialog_class{};
    dialog_class.cbSize = sizeof dialog_class;
    if (GetClassInfoExA(LayerInstance(), "#32770", &dialog_class)) {
      dialog_class.cbSize = sizeof dialog_class;
      dialog_class.hInstance = LayerInstance();
      dialog_class.lpszClassName = class_name.CStr();
      RegisterClassExA(&dialog_class);
    }
  }
  BackgroundColour(GetSysColor(COLOR_BTNFACE), false);
  INT_PTR result;
  if (modal) {
    result = DialogBoxParamA(LayerInstance(), MAKEINTRESOURCEA(template_id), owner,
                             &LayerDialogProcedure, 0);
  } else {
    result = reinterpret_cast<INT_PTR>(CreateDialogParamA(
        LayerInstance(), MAKEINTRESOURCEA(template_id), owner, &LayerDialogProcedure, 0));
  }
  // A template that failed to load never reached WM_INITDIALOG.
  if (PendingDialog() == this) SetPendingDialog(nullptr);
  return result;
}

INT_PTR CALLBACK FormWindow::LayerDialogProcedure(HWND window, UINT message, WPARAM wparam,
                                                  LPARAM lparam) {
  // The init handler and every event of the dialog run in here (see SharedWindowProcedure).
  return GuardedProcedure([&]() -> INT_PTR {
    if (message == WM_INITDIALOG) {
      if (FormWindow* pending = PendingDialog()) {
        pending->AttachHandle(window);
        SetPendingDialog(nullptr);
      }
    }
    WindowObject* object = Registry().Find(window);
    if (object == nullptr) return 0;
    return object->DialogMessageHook(window, message, wparam, lparam);
  });
}

bool FormWindow::AttachToDialogWindow(HWND dialog) {
  return AttachToWindow(dialog);
}

HWND FormWindow::DialogItem(int item_id) const {
  return GetDlgItem(Handle(), item_id);
}

UINT FormWindow::DialogItemInt(int item_id, bool* translated, bool is_signed) const {
  BOOL ok = FALSE;
  UINT value = GetDlgItemInt(Handle(), item_id, &ok, is_signed);
  if (translated) *translated = ok != FALSE;
  return value;
}

bool FormWindow::DialogItemInt(int item_id, UINT value, bool is_signed) {
  return SetDlgItemInt(Handle(), item_id, value, is_signed) != FALSE;
}

TextValue FormWindow::DialogItemText(int item_id) const {
  HWND item = GetDlgItem(Handle(), item_id);
  int length = GetWindowTextLengthA(item);
  if (length <= 0) return TextValue();
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  UINT copied = GetDlgItemTextA(Handle(), item_id, text.data(), length + 1);
  text.resize(copied);
  return TextValue(std::move(text));
}

bool FormWindow::DialogItemText(int item_id, const TextValue& text) {
  return SetDlgItemTextA(Handle(), item_id, text.CStr()) != FALSE;
}

LRESULT FormWindow::SendDialogItemMessage(int item_id, UINT message, WPARAM wparam, LPARAM lparam) {
  return SendDlgItemMessageA(Handle(), item_id, message, wparam, lparam);
}

LONG FormWindow::DialogBaseUnits() {
  return GetDialogBaseUnits();
}

EventHandler FormWindow::SetCloseHandler(EventHandler handler) {
  close_handler_ = handler;
  return handler;
}

}  // namespace belvane
