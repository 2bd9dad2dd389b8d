#include "tests/e2e/driver.h"

#include <commctrl.h>

#include <atomic>
#include <thread>

#include "runtime/gbk.h"

namespace belvane::e2e {
namespace {

// The runtime's conversions, as the plain strings the driver hands out.
std::string Narrow(std::wstring_view wide) {
  return GbkFromWide(wide).Bytes();
}
std::wstring Widen(std::string_view gbk) {
  return WideFromGbk(gbk);
}

// Wide text from a window message that fills a caller's buffer of `capacity` characters.
using FillText = std::function<LRESULT(wchar_t* buffer, size_t capacity)>;

std::string ReadWideText(size_t length, const FillText& fill) {
  std::wstring wide(length + 1, L'\0');
  const LRESULT n = fill(wide.data(), wide.size());
  if (n <= 0) return {};
  wide.resize(static_cast<size_t>(n) < length ? static_cast<size_t>(n) : length);
  return Narrow(wide);
}

// A block of memory inside the process that owns a window, for messages whose pointer
// arguments the system does not carry across processes. Freed with the object.
class RemoteBuffer {
 public:
  RemoteBuffer(HWND owner, size_t size) : size_(size) {
    DWORD pid = 0;
    GetWindowThreadProcessId(owner, &pid);
    process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (process_) {
      address_ = VirtualAllocEx(process_, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    }
  }
  ~RemoteBuffer() {
    if (address_) VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
    if (process_) CloseHandle(process_);
  }
  RemoteBuffer(const RemoteBuffer&) = delete;
  RemoteBuffer& operator=(const RemoteBuffer&) = delete;

  bool Ok() const { return address_ != nullptr; }
  // The address of byte `offset` in the other process.
  void* At(size_t offset) const { return static_cast<char*>(address_) + offset; }
  bool Write(size_t offset, const void* data, size_t size) const {
    SIZE_T done = 0;
    return offset + size <= size_ && WriteProcessMemory(process_, At(offset), data, size, &done) &&
           done == size;
  }
  bool Read(size_t offset, void* data, size_t size) const {
    SIZE_T done = 0;
    return offset + size <= size_ && ReadProcessMemory(process_, At(offset), data, size, &done) &&
           done == size;
  }

 private:
  HANDLE process_ = nullptr;
  void* address_ = nullptr;
  size_t size_ = 0;
};

// Room for a structure followed by its text buffer, the text 16-byte aligned.
constexpr size_t TextOffset(size_t struct_size) {
  return (struct_size + 15) & ~size_t{15};
}

std::string ClassOf(HWND hwnd) {
  wchar_t name[256] = {};
  const int n = GetClassNameW(hwnd, name, 256);
  return Narrow(std::wstring_view(name, n > 0 ? static_cast<size_t>(n) : 0));
}

// Tells the control's parent that the user changed its selection, as the control itself would.
void NotifyParent(HWND control, WORD code) {
  const HWND parent = GetParent(control);
  if (!parent) return;
  const int id = GetDlgCtrlID(control);
  DWORD_PTR ignored = 0;
  SendMessageTimeoutW(parent, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(control),
                      SMTO_NORMAL, kActionTimeoutMs, &ignored);
}

}  // namespace

bool WaitUntil(const std::function<bool()>& condition, int timeout_ms) {
  const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(timeout_ms);
  for (;;) {
    if (condition()) return true;
    if (GetTickCount64() >= deadline) return condition();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

std::optional<std::string> ReadWholeFile(const std::filesystem::path& path) {
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  std::string bytes;
  char buffer[65536];
  DWORD n = 0;
  while (::ReadFile(file, buffer, sizeof(buffer), &n, nullptr) && n > 0) bytes.append(buffer, n);
  CloseHandle(file);
  return bytes;
}

std::filesystem::path BuildBinDir() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n < path.size()) {
      path.resize(n);
      break;
    }
    path.resize(path.size() * 2);
  }
  return std::filesystem::path(path).parent_path();
}

// ---- RemoteWindow

bool RemoteWindow::SendWithData(UINT message, WPARAM wparam, const void* data, size_t size) const {
  RemoteBuffer remote(hwnd_, size);
  if (!remote.Ok() || !remote.Write(0, data, size)) return false;
  DWORD_PTR result = 0;
  return SendMessageTimeoutW(hwnd_, message, wparam, reinterpret_cast<LPARAM>(remote.At(0)),
                             SMTO_NORMAL, kActionTimeoutMs, &result) != 0;
}

LRESULT RemoteWindow::Send(UINT msg, WPARAM wparam, LPARAM lparam, LRESULT fallback) const {
  DWORD_PTR result = 0;
  if (!hwnd_ ||
      !SendMessageTimeoutW(hwnd_, msg, wparam, lparam, SMTO_NORMAL, kActionTimeoutMs, &result)) {
    return fallback;
  }
  return static_cast<LRESULT>(result);
}

std::string RemoteWindow::Text() const {
  const LRESULT length = Send(WM_GETTEXTLENGTH, 0, 0, 0);
  if (length <= 0) return {};
  return ReadWideText(static_cast<size_t>(length), [&](wchar_t* buffer, size_t capacity) {
    return Send(WM_GETTEXT, capacity, reinterpret_cast<LPARAM>(buffer), 0);
  });
}

std::string RemoteWindow::ClassName() const {
  return ClassOf(hwnd_);
}

LONG_PTR RemoteWindow::Style() const {
  return GetWindowLongPtrW(hwnd_, GWL_STYLE);
}

bool RemoteWindow::Visible() const {
  return IsWindowVisible(hwnd_) != FALSE;
}

RECT RemoteWindow::RectInParent() const {
  RECT rect = {};
  GetWindowRect(hwnd_, &rect);
  if (const HWND parent = GetAncestor(hwnd_, GA_PARENT); parent && parent != GetDesktopWindow()) {
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
  }
  return rect;
}

RemoteWindow RemoteWindow::Item(int id) const {
  return RemoteWindow(GetDlgItem(hwnd_, id));
}

RemoteWindow RemoteWindow::ChildOfClass(std::string_view class_name) const {
  return RemoteWindow(FindWindowExW(hwnd_, nullptr, Widen(class_name).c_str(), nullptr));
}

bool RemoteWindow::Click() const {
  return Send(BM_CLICK, 0, 0, 1) == 0;
}

bool RemoteWindow::PostClick() const {
  return PostMessageW(hwnd_, BM_CLICK, 0, 0) != FALSE;
}

bool RemoteWindow::PostClose() const {
  return PostMessageW(hwnd_, WM_CLOSE, 0, 0) != FALSE;
}

bool RemoteWindow::PressKey(UINT vk) const {
  HWND target = hwnd_;
  GUITHREADINFO info = {};
  info.cbSize = sizeof(info);
  if (GetGUIThreadInfo(GetWindowThreadProcessId(hwnd_, nullptr), &info) && info.hwndFocus &&
      (info.hwndFocus == hwnd_ || IsChild(hwnd_, info.hwndFocus))) {
    target = info.hwndFocus;
  }
  const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC)) << 16;
  return PostMessageW(target, WM_KEYDOWN, vk, scan | 1) != FALSE &&
         PostMessageW(target, WM_KEYUP, vk, scan | 1 | (LPARAM{3} << 30)) != FALSE;
}

// ---- RemoteListView

int RemoteListView::RowCount() const {
  return static_cast<int>(Send(LVM_GETITEMCOUNT, 0, 0, -1));
}

std::string RemoteListView::CellText(int row, int column) const {
  // LVM_GETITEMTEXTW returns the characters copied: a full buffer may have cut the text, so
  // grow until it fits.
  for (size_t capacity = 512; capacity <= (size_t{1} << 20); capacity *= 4) {
    const size_t offset = TextOffset(sizeof(LVITEMW));
    RemoteBuffer remote(hwnd_, offset + capacity * sizeof(wchar_t));
    if (!remote.Ok()) return {};
    LVITEMW item = {};
    item.iSubItem = column;
    item.pszText = static_cast<wchar_t*>(remote.At(offset));
    item.cchTextMax = static_cast<int>(capacity);
    if (!remote.Write(0, &item, sizeof(item))) return {};
    const LRESULT n =
        Send(LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(remote.At(0)), 0);
    if (n <= 0) return {};
    if (static_cast<size_t>(n) + 1 < capacity) {
      std::wstring text(static_cast<size_t>(n), L'\0');
      if (!remote.Read(offset, text.data(), text.size() * sizeof(wchar_t))) return {};
      return Narrow(text);
    }
  }
  return {};
}

std::vector<std::vector<std::string>> RemoteListView::Rows(int columns) const {
  std::vector<std::vector<std::string>> rows;
  const int n = RowCount();
  for (int r = 0; r < n; ++r) {
    std::vector<std::string> cells;
    for (int c = 0; c < columns; ++c) cells.push_back(CellText(r, c));
    rows.push_back(std::move(cells));
  }
  return rows;
}

int RemoteListView::SelectedRow() const {
  return static_cast<int>(Send(LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED, -1));
}

int RemoteListView::SelectionMark() const {
  return static_cast<int>(Send(LVM_GETSELECTIONMARK, 0, 0, -1));
}

std::string RemoteListView::ColumnTitle(int column) const {
  constexpr size_t kCapacity = 256;
  const size_t offset = TextOffset(sizeof(LVCOLUMNW));
  RemoteBuffer remote(hwnd_, offset + kCapacity * sizeof(wchar_t));
  if (!remote.Ok()) return {};
  LVCOLUMNW col = {};
  col.mask = LVCF_TEXT;
  col.pszText = static_cast<wchar_t*>(remote.At(offset));
  col.cchTextMax = static_cast<int>(kCapacity);
  if (!remote.Write(0, &col, sizeof(col))) return {};
  if (!Send(LVM_GETCOLUMNW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(remote.At(0)),
            0)) {
    return {};
  }
  wchar_t text[kCapacity] = {};
  if (!remote.Read(offset, text, sizeof(text))) return {};
  text[kCapacity - 1] = L'\0';
  return Narrow(text);
}

DWORD RemoteListView::ExtendedListViewStyle() const {
  return static_cast<DWORD>(Send(LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0, 0));
}

int RemoteListView::ColumnWidth(int column) const {
  return static_cast<int>(Send(LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column), 0, 0));
}

bool RemoteListView::RowRect(int row, RECT* rect) const {
  RemoteBuffer remote(hwnd_, sizeof(RECT));
  RECT query = {};
  query.left = LVIR_LABEL;  // the first cell's text area: a click there selects in any style
  if (!remote.Ok() || !remote.Write(0, &query, sizeof(query))) return false;
  if (!Send(LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(remote.At(0)), 0)) {
    return false;
  }
  return remote.Read(0, rect, sizeof(*rect));
}

bool RemoteListView::ClickRow(int row) const {
  RECT rect = {};
  if (!RowRect(row, &rect)) return false;
  const LPARAM at = MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
  return PostMessageW(hwnd_, WM_LBUTTONDOWN, MK_LBUTTON, at) != FALSE &&
         PostMessageW(hwnd_, WM_LBUTTONUP, 0, at) != FALSE;
}

// ---- RemoteComboBox

int RemoteComboBox::Count() const {
  return static_cast<int>(Send(CB_GETCOUNT, 0, 0, -1));
}

std::string RemoteComboBox::ItemText(int index) const {
  const LRESULT length = Send(CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0, CB_ERR);
  if (length <= 0) return {};
  return ReadWideText(static_cast<size_t>(length), [&](wchar_t* buffer, size_t) {
    return Send(CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buffer), 0);
  });
}

int RemoteComboBox::Selection() const {
  return static_cast<int>(Send(CB_GETCURSEL, 0, 0, -1));
}

std::string RemoteComboBox::SelectedText() const {
  const int index = Selection();
  return index < 0 ? std::string() : ItemText(index);
}

bool RemoteComboBox::Select(int index) const {
  if (Send(CB_SETCURSEL, static_cast<WPARAM>(index), 0, CB_ERR) != index) return false;
  NotifyParent(hwnd_, CBN_SELCHANGE);
  return true;
}

bool RemoteComboBox::SelectText(std::string_view text) const {
  const int n = Count();
  for (int i = 0; i < n; ++i) {
    if (ItemText(i) == text) return Select(i);
  }
  return false;
}

// ---- RemoteListBox

int RemoteListBox::Count() const {
  return static_cast<int>(Send(LB_GETCOUNT, 0, 0, -1));
}

std::string RemoteListBox::ItemText(int index) const {
  const LRESULT length = Send(LB_GETTEXTLEN, static_cast<WPARAM>(index), 0, LB_ERR);
  if (length <= 0) return {};
  return ReadWideText(static_cast<size_t>(length), [&](wchar_t* buffer, size_t) {
    return Send(LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buffer), 0);
  });
}

std::vector<std::string> RemoteListBox::Items() const {
  std::vector<std::string> items;
  const int n = Count();
  for (int i = 0; i < n; ++i) items.push_back(ItemText(i));
  return items;
}

int RemoteListBox::Selection() const {
  return static_cast<int>(Send(LB_GETCURSEL, 0, 0, -1));
}

bool RemoteListBox::Select(int index) const {
  if (Send(LB_SETCURSEL, static_cast<WPARAM>(index), 0, LB_ERR) != index) return false;
  NotifyParent(hwnd_, LBN_SELCHANGE);
  return true;
}

// ---- RemoteMessageBox

std::string RemoteMessageBox::Message() const {
  for (HWND child = FindWindowExW(hwnd_, nullptr, L"Static", nullptr); child;
       child = FindWindowExW(hwnd_, child, L"Static", nullptr)) {
    std::string text = RemoteWindow(child).Text();
    if (!text.empty()) return text;
  }
  return {};
}

bool RemoteMessageBox::Answer(int button_id) const {
  return PostMessageW(hwnd_, WM_COMMAND, MAKEWPARAM(button_id, BN_CLICKED), 0) != FALSE;
}

// ---- AppUnderTest

AppUnderTest::AppUnderTest(InPlace, const std::filesystem::path& folder,
                           std::string_view program_name)
    : folder_(folder), program_(folder / Widen(program_name)) {
  if (GetFileAttributesW(program_.c_str()) == INVALID_FILE_ATTRIBUTES)
    setup_error_ = "no program in the folder";
}

AppUnderTest::AppUnderTest(const std::filesystem::path& program, std::string_view gbk_subfolder) {
  static std::atomic<unsigned> counter{0};
  wchar_t temp[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH + 1, temp);
  const std::wstring name = L"belvane-e2e-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                            std::to_wstring(GetTickCount64()) + L"-" +
                            std::to_wstring(counter.fetch_add(1));
  root_ = std::filesystem::path(temp) / name;
  folder_ = gbk_subfolder.empty() ? root_ : root_ / Widen(gbk_subfolder);
  std::error_code ec;
  if (!std::filesystem::create_directories(folder_, ec)) {
    setup_error_ = "cannot make the run folder: " + ec.message();
  }
  program_ = folder_ / program.filename();
  if (!CopyFileW(program.c_str(), program_.c_str(), FALSE)) {
    setup_error_ += "cannot copy the program: error " + std::to_string(GetLastError());
  }
}

AppUnderTest::~AppUnderTest() {
  if (process_) {
    if (Running()) TerminateProcess(process_, 1);
    WaitForSingleObject(process_, kActionTimeoutMs);
    CloseHandle(process_);
  }
  if (root_.empty()) return;
  // Files made read-only by a test would stop the removal; a just-ended process may still
  // hold its own file for a moment.
  std::error_code ec;
  for (auto it = std::filesystem::recursive_directory_iterator(root_, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    SetFileAttributesW(it->path().c_str(), FILE_ATTRIBUTE_NORMAL);
  }
  WaitUntil([&] {
    std::error_code remove_error;
    std::filesystem::remove_all(root_, remove_error);
    return !remove_error;
  });
}

std::filesystem::path AppUnderTest::PathOf(std::string_view gbk_name) const {
  return folder_ / Widen(gbk_name);
}

bool AppUnderTest::WriteFile(std::string_view gbk_name, std::string_view bytes) const {
  const HANDLE file = CreateFileW(PathOf(gbk_name).c_str(), GENERIC_WRITE, 0, nullptr,
                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok =
      ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
      written == bytes.size();
  CloseHandle(file);
  return ok;
}

bool AppUnderTest::MakeFolder(std::string_view gbk_name) const {
  std::error_code ec;
  std::filesystem::create_directories(PathOf(gbk_name), ec);
  return !ec;
}

std::optional<std::string> AppUnderTest::ReadFile(std::string_view gbk_name) const {
  return ReadWholeFile(PathOf(gbk_name));
}

bool AppUnderTest::Exists(std::string_view gbk_name) const {
  return GetFileAttributesW(PathOf(gbk_name).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool AppUnderTest::Start() {
  if (process_) {
    // A second run in the same folder, once the first has ended.
    if (Running()) return false;
    CloseHandle(process_);
    process_ = nullptr;
    pid_ = 0;
  }
  std::wstring command_line = L"\"" + program_.wstring() + L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  if (!CreateProcessW(program_.c_str(), command_line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      folder_.c_str(), &startup, &info)) {
    setup_error_ += "cannot start the program: error " + std::to_string(GetLastError());
    return false;
  }
  CloseHandle(info.hThread);
  process_ = info.hProcess;
  pid_ = info.dwProcessId;
  return true;
}

bool AppUnderTest::Running() const {
  return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

std::optional<DWORD> AppUnderTest::WaitForExit(int timeout_ms) const {
  if (!process_ || WaitForSingleObject(process_, static_cast<DWORD>(timeout_ms)) != WAIT_OBJECT_0) {
    return std::nullopt;
  }
  DWORD code = 0;
  GetExitCodeProcess(process_, &code);
  return code;
}

std::vector<HWND> AppUnderTest::TopLevelWindows(bool visible_only) const {
  struct Search {
    DWORD pid;
    bool visible_only;
    std::vector<HWND> found;
  } search{pid_, visible_only, {}};
  EnumWindows(
      [](HWND hwnd, LPARAM param) CALLBACK -> BOOL {
        auto* s = reinterpret_cast<Search*>(param);
        DWORD pid = 0;
        GetWindowThreadProcessId(hwnd, &pid);
        if (pid == s->pid && (!s->visible_only || IsWindowVisible(hwnd))) s->found.push_back(hwnd);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

RemoteWindow AppUnderTest::FindDialog(std::string_view caption, HWND except) const {
  if (!pid_) return {};
  for (HWND hwnd : TopLevelWindows()) {
    if (hwnd == except) continue;
    RemoteWindow window(hwnd);
    if (window.ClassName() == "#32770" && window.Text() == caption) return window;
  }
  return {};
}

RemoteWindow AppUnderTest::WaitForDialog(std::string_view caption, int timeout_ms,
                                         HWND except) const {
  RemoteWindow found;
  WaitUntil(
      [&] {
        found = FindDialog(caption, except);
        return found.Exists();
      },
      timeout_ms);
  return found;
}

bool Flush(const RemoteWindow& edit) {
  const HWND hwnd = edit.Handle();
  DWORD_PTR selection = 0;
  if (!SendMessageTimeoutW(hwnd, EM_GETSEL, 0, 0, SMTO_NORMAL, kActionTimeoutMs, &selection)) {
    return false;
  }
  // Toggle between two caret positions, so the change is always visible.
  const WPARAM target = (LOWORD(selection) == 0 && HIWORD(selection) == 0) ? 1 : 0;
  if (!PostMessageW(hwnd, EM_SETSEL, target, static_cast<LPARAM>(target))) return false;
  return WaitUntil([&] {
    DWORD_PTR now = 0;
    return SendMessageTimeoutW(hwnd, EM_GETSEL, 0, 0, SMTO_NORMAL, kActionTimeoutMs, &now) &&
           LOWORD(now) == target && HIWORD(now) == target;
  });
}

}  // namespace belvane::e2e
