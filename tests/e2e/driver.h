#pragma once
// Black-box driver: starts a program of ours in a fresh folder and drives its windows from this
// process, as a user would. Every text in and out is GBK (code page 936), like the program's own;
// wide text exists only at the platform boundary, inside driver.cpp.
//
// Thread rule: one test thread drives one program; nothing here is shared between threads.
// Every message sent to the other process has a time limit, so a hung program fails the test
// instead of hanging it.

#include <windows.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace belvane::e2e {

// Default limits in milliseconds: a program under Wine takes a second or two to show a window.
inline constexpr int kStartTimeoutMs = 20000;
inline constexpr int kActionTimeoutMs = 5000;

// Polls `condition` every 20 ms until it holds or `timeout_ms` has passed; returns its last result.
bool WaitUntil(const std::function<bool()>& condition, int timeout_ms = kActionTimeoutMs);

// A whole file's bytes, read while others may still write it; nothing when it cannot be opened.
std::optional<std::string> ReadWholeFile(const std::filesystem::path& path);

// The folder this test executable lives in (build/bin), where the programs under test are built.
std::filesystem::path BuildBinDir();

// A control or top-level window of the program under test. Borrows the handle; never owns it.
class RemoteWindow {
 public:
  RemoteWindow() = default;
  explicit RemoteWindow(HWND hwnd) : hwnd_(hwnd) {}

  HWND Handle() const { return hwnd_; }
  bool Exists() const { return hwnd_ && IsWindow(hwnd_); }
  // WM_GETTEXT (wide, converted to GBK); empty when the window does not answer.
  std::string Text() const;
  // Window class name, for example "#32770" or "SysListView32".
  std::string ClassName() const;
  // GetWindowLongPtr GWL_STYLE.
  LONG_PTR Style() const;
  // IsWindowVisible.
  bool Visible() const;
  // The window's rectangle in its parent's client coordinates (screen coordinates for top level).
  RECT RectInParent() const;
  // GetDlgItem: the child with control id `id` (an empty RemoteWindow when there is none).
  RemoteWindow Item(int id) const;
  // The first child window of the given class (for controls created at run time without an id).
  RemoteWindow ChildOfClass(std::string_view class_name) const;

  // Sends BM_CLICK and waits for its handler; use PostClick when the click opens a modal box.
  bool Click() const;
  // Posts BM_CLICK and returns at once.
  bool PostClick() const;
  // Sends `message` with a copy of `data` placed in the window's process, its address as
  // lParam, for messages whose pointer the system does not carry across processes; false when
  // the copy could not be placed or the window did not answer.
  bool SendWithData(UINT message, WPARAM wparam, const void* data, size_t size) const;
  // Posts WM_CLOSE (a close request may ask first, so it is never sent).
  bool PostClose() const;
  // Posts WM_KEYDOWN and WM_KEYUP of `vk` to the window that has the keyboard focus in this
  // window's thread, or to this window when the focus is elsewhere: what a key press delivers.
  bool PressKey(UINT vk) const;

 protected:
  // SendMessageTimeoutW with kActionTimeoutMs; `fallback` when the window does not answer.
  LRESULT Send(UINT msg, WPARAM wparam, LPARAM lparam, LRESULT fallback = -1) const;

  HWND hwnd_ = nullptr;
};

// A report-view list view in another process. Items are read through a buffer allocated in
// that process (VirtualAllocEx), since list-view messages carry pointers the system does not
// marshal.
class RemoteListView : public RemoteWindow {
 public:
  using RemoteWindow::RemoteWindow;

  // LVM_GETITEMCOUNT.
  int RowCount() const;
  // LVM_GETITEMTEXTW; empty for a missing cell. Reads the whole text, however long.
  std::string CellText(int row, int column) const;
  // Every cell of every row, columns 0 .. columns-1.
  std::vector<std::vector<std::string>> Rows(int columns) const;
  // LVM_GETNEXTITEM with LVNI_SELECTED: the first selected row, -1 = none.
  int SelectedRow() const;
  // LVM_GETSELECTIONMARK: -1 = none.
  int SelectionMark() const;
  // LVM_GETCOLUMNW: the title of a column; empty when there is no such column.
  std::string ColumnTitle(int column) const;
  // LVM_GETCOLUMNWIDTH: a column's width in pixels; 0 when there is no such column.
  int ColumnWidth(int column) const;
  // LVM_GETEXTENDEDLISTVIEWSTYLE.
  DWORD ExtendedListViewStyle() const;
  // LVM_GETITEMRECT (LVIR_BOUNDS) read back from the other process; false when not answered.
  bool RowRect(int row, RECT* rect) const;
  // Posts a left click (button down and up) in the middle of the row's first cell.
  bool ClickRow(int row) const;
};

// A drop-down list (combo box). The W messages are used: under Wine the A ones give UTF-16.
class RemoteComboBox : public RemoteWindow {
 public:
  using RemoteWindow::RemoteWindow;

  // CB_GETCOUNT.
  int Count() const;
  // CB_GETLBTEXTLEN + CB_GETLBTEXT (wide); empty for a missing item.
  std::string ItemText(int index) const;
  // CB_GETCURSEL: -1 = none.
  int Selection() const;
  // The selected item's text; empty when none is selected.
  std::string SelectedText() const;
  // CB_SETCURSEL, then WM_COMMAND CBN_SELCHANGE to the parent, as a user's choice would.
  bool Select(int index) const;
  // Selects the item whose text equals `text`; false when there is none.
  bool SelectText(std::string_view text) const;
};

// A list box. The W messages are used, as for the combo box.
class RemoteListBox : public RemoteWindow {
 public:
  using RemoteWindow::RemoteWindow;

  // LB_GETCOUNT.
  int Count() const;
  // LB_GETTEXTLEN + LB_GETTEXT (wide); empty for a missing item.
  std::string ItemText(int index) const;
  // Every item's text, in order.
  std::vector<std::string> Items() const;
  // LB_GETCURSEL: -1 = none.
  int Selection() const;
  // LB_SETCURSEL, then WM_COMMAND LBN_SELCHANGE to the parent.
  bool Select(int index) const;
};

// A message box shown by the program under test.
class RemoteMessageBox : public RemoteWindow {
 public:
  using RemoteWindow::RemoteWindow;

  // The box's message: the text of its static control that carries text.
  std::string Message() const;
  // Posts WM_COMMAND with `button_id` (IDOK, IDCANCEL, ...), which ends the box.
  bool Answer(int button_id) const;
};

// One run of a program in a fresh temporary folder of its own. The folder is made and the
// program copied there at construction; files may be placed before Start. The destructor
// ends a program still running and removes the folder.
class AppUnderTest {
 public:
  // `program`: the file to copy (for example BuildBinDir() / "Belvane.exe"); with
  // `gbk_subfolder` ("铃声 程序") the program runs in that folder inside the fresh one.
  explicit AppUnderTest(const std::filesystem::path& program, std::string_view gbk_subfolder = {});
  // A program already in `folder` (an unpacked release), run where it is; nothing is copied
  // and the folder is left in place.
  struct InPlace {};
  AppUnderTest(InPlace, const std::filesystem::path& folder, std::string_view program_name);
  ~AppUnderTest();
  AppUnderTest(const AppUnderTest&) = delete;
  AppUnderTest& operator=(const AppUnderTest&) = delete;

  // The run folder and a GBK name inside it ("mp3\\a.mp3").
  const std::filesystem::path& Folder() const { return folder_; }
  std::filesystem::path PathOf(std::string_view gbk_name) const;

  // Files in the run folder; names are GBK, relative to the folder.
  bool WriteFile(std::string_view gbk_name, std::string_view bytes) const;
  bool MakeFolder(std::string_view gbk_name) const;
  std::optional<std::string> ReadFile(std::string_view gbk_name) const;
  bool Exists(std::string_view gbk_name) const;

  // Starts the copied program with the folder as its working directory; again once it ended.
  bool Start();
  // What went wrong in making the folder, copying the program or starting it; empty when nothing.
  const std::string& SetUpError() const { return setup_error_; }
  // True while the process has not ended.
  bool Running() const;
  // Waits for the process to end; its exit code, or nothing when it is still running.
  std::optional<DWORD> WaitForExit(int timeout_ms = kActionTimeoutMs) const;

  // A visible top-level dialog (#32770) of this process with the given caption, polled until
  // `timeout_ms`; `except` is skipped (for a message box, pass the main window).
  RemoteWindow WaitForDialog(std::string_view caption, int timeout_ms = kActionTimeoutMs,
                             HWND except = nullptr) const;
  // The dialog with the given caption, if one is shown now.
  RemoteWindow FindDialog(std::string_view caption, HWND except = nullptr) const;
  // Every top-level window of this process; with `visible_only` false, hidden ones too.
  std::vector<HWND> TopLevelWindows(bool visible_only = true) const;

 private:
  std::filesystem::path root_;  // what the destructor removes; empty for a folder in place
  std::filesystem::path folder_;
  std::filesystem::path program_;
  HANDLE process_ = nullptr;
  DWORD pid_ = 0;
  std::string setup_error_;
};

// Waits until the window's thread has handled every message posted before this call: posts a
// selection change to `edit` (an edit control of that thread) and polls until it reads back.
// Posted messages of one thread are handled in order, so anything posted earlier is done.
bool Flush(const RemoteWindow& edit);

}  // namespace belvane::e2e
