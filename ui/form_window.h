#pragma once
// FormWindow: a top-level window object, and the dialog host that runs a dialog template as
// the program's main window. The application binds an init handler (called with the dialog's
// handle while WM_INITDIALOG is handled, before the first display, then a WM_SIZE with the
// client size follows), a close handler (0 lets the window close, non-zero keeps it open) and
// a few window-level events.

#include <windows.h>
#include <shellapi.h>

#include <array>
#include <memory>

#include "ui/window_object.h"

namespace belvane {

class FormWindow : public WindowObject {
 public:
  // The ten window-level events, in field order.
  enum class FormEvent {
    kDestroyed,
    kMoved,
    kResized,
    kActivated,
    kDeactivated,
    kFirstActivation,
    kShown,
    kHidden,
    kTrayEvent,
    kMenuCommand,
    kCount
  };
  // The message the tray icon sends its window.
  static constexpr UINT kTrayMessage = 0x3019;

  FormWindow() = default;
  ~FormWindow() override;

  // ---- Hooks replaced from WindowObject
  INT_PTR DialogMessageHook(HWND window, UINT message, WPARAM wparam, LPARAM lparam) override;
  LRESULT BackgroundEraseHook(HWND window, HDC dc) override;
  LRESULT LeftButtonDownHook(HWND window) override;
  void DestroyingHook() override;

  // ---- FormWindow operations, in slot order
  // Draws the background picture into a device context over the given client rectangle.
  void DrawPicture(HDC dc, const RECT& client);
  // Window-level events (destroyed, moved, tray...); non-zero ends the message.
  LRESULT WindowMessageHandler(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  // Forgets the dialog result, the modal flag and the init and close handlers.
  void ClearDialogPart();
  // Creates an owned top-level window (copies the owner's small and big icons).
  bool CreateOwnedWindow(HWND owner, const TextValue& title, DWORD style, int left, int top,
                         int width, int height, DWORD ex_style = 0);
  // The background colour.
  COLORREF BackgroundColour() const { return background_colour_; }
  // Sets the background colour and its brush (the old brush is deleted); repaints when asked.
  void BackgroundColour(COLORREF colour, bool repaint = true);
  // Takes a background picture (0 none): placement 0 none, 1 top-left, 2 stretched.
  void BackgroundPicture(HBITMAP picture, int placement = 1);
  // SW_SHOWNORMAL / SW_SHOWMINIMIZED / SW_SHOWMAXIMIZED as 0, 1, 2; returns the state before.
  int WindowState(int state);
  // 0 normal, 1 minimised, 2 maximised.
  int WindowState() const;
  // WM_SETICON (set) or WM_GETICON; size 0 small (ICON_SMALL), 1 big. The previous icon.
  HICON SetIcon(HICON icon, bool set = true, int size = ICON_SMALL);
  // GetMenu.
  HMENU GetMenu() const;
  // SetMenu.
  bool SetMenu(HMENU menu);
  // DrawMenuBar.
  bool RedrawMenuBar();
  // Adds a tray icon (the icon is owned); tray events arrive as kTrayMessage.
  bool AddTrayIcon(HICON icon, const TextValue& tip);
  // Changes the tray tip.
  bool SetTrayTip(const TextValue& tip);
  // Changes the tray icon (the icon is owned, the previous one destroyed).
  bool SetTrayIcon(HICON icon);
  // Shows a balloon over the tray icon.
  bool ShowTrayBalloon(const TextValue& title, const TextValue& text, DWORD info_flags = NIIF_INFO);
  // Removes the tray icon and destroys its icon.
  bool RemoveTrayIcon();
  // Keeps the caption drawn active while another window is active.
  void KeepCaptionActive(bool keep) { keep_caption_active_ = keep; }
  // Lets a left button press on the client area drag the window.
  void DragByClientArea(bool drag) { drag_by_client_area_ = drag; }
  // RegisterHotKey; the handler gets (id, modifiers, virtual key).
  bool RegisterHotkey(int id, UINT modifiers, UINT key, EventHandler handler);
  // UnregisterHotKey.
  bool UnregisterHotkey(int id);
  // Window-level binders (each returns the handler).
  EventHandler BindMenuCommand(EventHandler handler);
  EventHandler BindDestroyed(EventHandler handler);
  EventHandler BindMoved(EventHandler handler);
  EventHandler BindResized(EventHandler handler);
  EventHandler BindActivated(EventHandler handler);
  EventHandler BindDeactivated(EventHandler handler);
  EventHandler BindFirstActivation(EventHandler handler);
  EventHandler BindShown(EventHandler handler);
  EventHandler BindHidden(EventHandler handler);
  EventHandler BindTrayEvent(EventHandler handler);
  EventHandler BindHotkey(EventHandler handler);
  // Creates a top-level window of a registered class.
  bool CreateTopLevel(const TextValue& class_name, const TextValue& title, DWORD style, int left,
                      int top, int width, int height, DWORD ex_style = 0, HWND owner = nullptr);
  // Runs a dialog template modally; with show_in_taskbar false and no owner a hidden
  // "WTWindow" window owns it. Returns the EndDialog value, or 0 when already attached.
  INT_PTR RunDialog(HWND owner, int template_id, EventHandler init_handler,
                    const TextValue& class_name = {}, bool show_in_taskbar = true);
  // Creates a dialog from a template: modal returns the EndDialog value, modeless the window
  // handle; 0 when the object is already attached.
  INT_PTR RunDialogFromTemplate(HWND owner, int template_id, EventHandler init_handler, bool modal,
                                const TextValue& class_name = {});
  // Attaches an existing dialog window.
  bool AttachToDialogWindow(HWND dialog);
  // The value EndDialog passes on when the dialog closes.
  void SetDialogResult(INT_PTR value) { dialog_result_ = value; }
  // GetDlgItem.
  HWND DialogItem(int item_id) const;
  // GetDlgItemInt; translated tells whether the text was a number.
  UINT DialogItemInt(int item_id, bool* translated = nullptr, bool is_signed = true) const;
  // SetDlgItemInt.
  bool DialogItemInt(int item_id, UINT value, bool is_signed = true);
  // GetDlgItemTextA, whole.
  TextValue DialogItemText(int item_id) const;
  // SetDlgItemTextA.
  bool DialogItemText(int item_id, const TextValue& text);
  // SendDlgItemMessageA.
  LRESULT SendDialogItemMessage(int item_id, UINT message, WPARAM wparam = 0, LPARAM lparam = 0);
  // GetDialogBaseUnits.
  static LONG DialogBaseUnits();
  // The close handler; returns it.
  EventHandler SetCloseHandler(EventHandler handler);

  // ---- State, for tests and the application
  INT_PTR DialogResult() const { return dialog_result_; }
  EventHandler InitHandler() const { return init_handler_; }
  EventHandler CloseHandler() const { return close_handler_; }
  EventHandler Handler(FormEvent event) const { return form_handlers_[static_cast<int>(event)]; }
  using WindowObject::Handler;
  // The dialog procedure of every layer dialog.
  static INT_PTR CALLBACK LayerDialogProcedure(HWND window, UINT message, WPARAM wparam,
                                               LPARAM lparam);

 private:
  EventHandler& Slot(FormEvent event) { return form_handlers_[static_cast<int>(event)]; }
  void ResetFormFields();
  bool TrayModify(DWORD action, UINT flags);

  OwnedBrush background_brush_;
  COLORREF background_colour_ = 0;
  OwnedBitmap background_picture_;
  int picture_placement_ = 0;
  std::unique_ptr<NOTIFYICONDATAA> tray_;
  OwnedIcon tray_icon_;
  UINT taskbar_created_message_ = 0;
  std::array<EventHandler, static_cast<int>(FormEvent::kCount)> form_handlers_{};
  bool keep_caption_active_ = false;
  bool drag_by_client_area_ = false;
  bool first_activation_seen_ = false;
  EventHandler hotkey_handler_ = nullptr;
  INT_PTR dialog_result_ = 0;
  bool modal_ = false;
  EventHandler init_handler_ = nullptr;
  EventHandler close_handler_ = nullptr;
};

}  // namespace belvane
