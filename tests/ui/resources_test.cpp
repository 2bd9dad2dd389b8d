// The main window's resources as the platform loads them.

#include "tests/ui/main_dialog_fixture.h"

#include "resources/version.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace belvane::testing {
namespace {

// One control of a dialog template, as stored.
struct TemplateItem {
  int id;
  std::u16string class_name;  // ordinals are spelled out: 0x80 "Button" ... 0x85 "ComboBox"
  std::u16string text;
  short x, y, cx, cy;
  DWORD style, ex_style;
};

struct DialogTemplate {
  DWORD style = 0, ex_style = 0;
  short x = 0, y = 0, cx = 0, cy = 0;
  std::u16string title, font;
  WORD point_size = 0;
  std::vector<TemplateItem> items;
};

// Reads a DLGTEMPLATEEX resource.
class TemplateReader {
 public:
  explicit TemplateReader(const BYTE* at) : at_(at) {}
  template <typename T>
  T Read() {
    T value;
    std::memcpy(&value, at_, sizeof value);
    at_ += sizeof value;
    return value;
  }
  std::u16string ReadText() {
    std::u16string text;
    for (char16_t c; (c = Read<char16_t>()) != 0;) text.push_back(c);
    return text;
  }
  // A name or an ordinal (0xFFFF, then the number).
  std::u16string ReadNameOrOrdinal() {
    char16_t first;
    std::memcpy(&first, at_, sizeof first);
    if (first != 0xFFFF) return ReadText();
    Read<WORD>();
    static const char16_t* kClasses[] = {u"Button",  u"Edit",      u"Static",
                                         u"ListBox", u"ScrollBar", u"ComboBox"};
    WORD ordinal = Read<WORD>();
    return ordinal >= 0x80 && ordinal <= 0x85 ? kClasses[ordinal - 0x80] : u"#";
  }
  void AlignToDword() {
    while (reinterpret_cast<std::uintptr_t>(at_) % 4 != 0) ++at_;
  }

 private:
  const BYTE* at_;
};

std::u16string Lower(std::u16string text) {
  for (char16_t& c : text) c = (c >= u'A' && c <= u'Z') ? c - u'A' + u'a' : c;
  return text;
}

DialogTemplate LoadTemplate(int id) {
  HMODULE module = GetModuleHandleA(nullptr);
  HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(5));  // RT_DIALOG
  EXPECT_NE(found, nullptr);
  if (!found) return {};
  TemplateReader in(static_cast<const BYTE*>(LockResource(LoadResource(module, found))));
  DialogTemplate dialog;
  EXPECT_EQ(in.Read<WORD>(), 1);       // version
  EXPECT_EQ(in.Read<WORD>(), 0xFFFF);  // extended template
  in.Read<DWORD>();                    // help id
  dialog.ex_style = in.Read<DWORD>();
  dialog.style = in.Read<DWORD>();
  WORD count = in.Read<WORD>();
  dialog.x = in.Read<short>();
  dialog.y = in.Read<short>();
  dialog.cx = in.Read<short>();
  dialog.cy = in.Read<short>();
  EXPECT_TRUE(in.ReadNameOrOrdinal().empty());  // no menu
  EXPECT_TRUE(in.ReadNameOrOrdinal().empty());  // the system dialog class
  dialog.title = in.ReadText();
  if (dialog.style & DS_SETFONT) {
    dialog.point_size = in.Read<WORD>();
    in.Read<WORD>();  // weight
    in.Read<BYTE>();  // italic
    in.Read<BYTE>();  // character set
    dialog.font = in.ReadText();
  }
  for (WORD i = 0; i < count; ++i) {
    in.AlignToDword();
    TemplateItem item{};
    in.Read<DWORD>();  // help id
    item.ex_style = in.Read<DWORD>();
    item.style = in.Read<DWORD>();
    item.x = in.Read<short>();
    item.y = in.Read<short>();
    item.cx = in.Read<short>();
    item.cy = in.Read<short>();
    item.id = static_cast<int>(in.Read<DWORD>());
    item.class_name = Lower(in.ReadNameOrOrdinal());
    item.text = in.ReadNameOrOrdinal();
    WORD extra = in.Read<WORD>();
    for (WORD b = 0; b < extra; ++b) in.Read<BYTE>();
    dialog.items.push_back(item);
  }
  return dialog;
}

TEST(Resources, DialogTemplateIsTheMainWindowsLayout) {
  DialogTemplate dialog = LoadTemplate(BELVANE_DIALOG_MAIN);
  EXPECT_EQ(dialog.style, static_cast<DWORD>(WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX |
                                             DS_CENTER | DS_SETFONT));
  EXPECT_EQ(dialog.cx, 520);
  EXPECT_EQ(dialog.cy, 253);
  EXPECT_EQ(dialog.title, u"Belvane");
  EXPECT_EQ(dialog.font, u"MS Sans Serif");
  EXPECT_EQ(dialog.point_size, 9);
  const TemplateItem expected[] = {
      {BELVANE_ID_CLOCK_CAPTION, u"static", u"电脑当前时间：", 6, 6, 57, 12, 0x50000200, 0},
      {BELVANE_ID_ADD, u"button", u"3.添加", 417, 231, 42, 15, 0x50010000, 0},
      {BELVANE_ID_PLACEHOLDER, u"static", u"", 3, 24, 405, 204, 0x50000004, 0},
      {BELVANE_ID_TIME_CAPTION, u"static", u"1.指定时间：", 417, 7, 54, 9, 0x50000200, 0},
      {BELVANE_ID_HOUR, u"combobox", u"", 417, 22, 28, 189, 0x50210003, 0},
      {BELVANE_ID_SEPARATOR_1, u"static", u"：", 447, 22, 6, 12, 0x50000200, 0},
      {BELVANE_ID_SEPARATOR_2, u"static", u"：", 483, 22, 6, 12, 0x50000200, 0},
      {BELVANE_ID_MINUTE, u"combobox", u"", 453, 22, 28, 192, 0x50210003, 0},
      {BELVANE_ID_SECOND, u"combobox", u"", 489, 22, 28, 189, 0x50210003, 0},
      {BELVANE_ID_MUSIC_CAPTION, u"static", u"2.选择音乐：", 417, 37, 54, 9, 0x50000200, 0},
      {BELVANE_ID_NOTE, u"edit", u"可用于学校上下课打铃，考试指令播放等。", 417, 192, 96, 36,
       0x50010004, 0x200},
      {BELVANE_ID_MUSIC_LIST, u"listbox", u"", 417, 48, 100, 102, 0x50310141, 0x200},
      {BELVANE_ID_HINT, u"static", u"请将歌曲放在MP3文件夹内", 417, 151, 99, 13, 0x50000200, 0},
      {BELVANE_ID_DELETE_ROW, u"button", u"删除该行", 6, 234, 58, 15, 0x50010000, 0},
      {BELVANE_ID_PLAY, u"button", u"播放音乐", 435, 165, 58, 15, 0x50010000, 0},
      {BELVANE_ID_SAVE, u"button", u"4.保存", 468, 231, 42, 15, 0x50010000, 0},
      {BELVANE_ID_CLOCK, u"static", u"00:00:00", 66, 6, 111, 12, 0x50000200, 0},
      // The timetable choice, after the first seventeen so their order stays.
      {BELVANE_ID_TIMETABLE_CHOICE, u"combobox", u"", 181, 5, 80, 150, 0x50210003, 0},
      {BELVANE_ID_TODAY_LINE, u"static", u"", 265, 6, 105, 12, 0x50004200, 0},
      {BELVANE_ID_PLAN_BUTTON, u"button", u"日历…", 373, 5, 35, 14, 0x50010000, 0},
      {BELVANE_ID_FOLLOW_LINE, u"static", u"", 70, 234, 340, 15, 0x50004200, 0},
  };
  ASSERT_EQ(dialog.items.size(), std::size(expected));
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    const TemplateItem& got = dialog.items[i];
    const TemplateItem& want = expected[i];
    SCOPED_TRACE(want.id);
    EXPECT_EQ(got.id, want.id);
    EXPECT_EQ(got.class_name, want.class_name);
    EXPECT_TRUE(got.text == want.text);
    EXPECT_EQ(got.x, want.x);
    EXPECT_EQ(got.y, want.y);
    EXPECT_EQ(got.cx, want.cx);
    EXPECT_EQ(got.cy, want.cy);
    EXPECT_EQ(got.style, want.style);
    EXPECT_EQ(got.ex_style, want.ex_style);
  }
}

TEST_F(MainDialogTest, RunningDialogHasTheTemplatesControlsThenTheTimetable) {
  Run({[] {
    RECT client{};
    GetClientRect(Dialog(), &client);
    RECT units{0, 0, 520, 253};
    MapDialogRect(Dialog(), &units);
    EXPECT_EQ(client.right, units.right);
    EXPECT_EQ(client.bottom, units.bottom);
    EXPECT_EQ(ui->form.GetText(), TextValue("Belvane"));
    // The template's items in its order, then the list view the program creates (id 501).
    int order[] = {BELVANE_ID_CLOCK_CAPTION, BELVANE_ID_ADD,
                   BELVANE_ID_PLACEHOLDER,   BELVANE_ID_TIME_CAPTION,
                   BELVANE_ID_HOUR,          BELVANE_ID_SEPARATOR_1,
                   BELVANE_ID_SEPARATOR_2,   BELVANE_ID_MINUTE,
                   BELVANE_ID_SECOND,        BELVANE_ID_MUSIC_CAPTION,
                   BELVANE_ID_NOTE,          BELVANE_ID_MUSIC_LIST,
                   BELVANE_ID_HINT,          BELVANE_ID_DELETE_ROW,
                   BELVANE_ID_PLAY,          BELVANE_ID_SAVE,
                   BELVANE_ID_CLOCK,         BELVANE_ID_TIMETABLE_CHOICE,
                   BELVANE_ID_TODAY_LINE,    BELVANE_ID_PLAN_BUTTON,
                   BELVANE_ID_FOLLOW_LINE,   501};
    HWND child = GetWindow(Dialog(), GW_CHILD);
    for (int id : order) {
      ASSERT_NE(child, nullptr);
      EXPECT_EQ(GetDlgCtrlID(child), id);
      child = GetWindow(child, GW_HWNDNEXT);
    }
    EXPECT_EQ(child, nullptr);
    Close();
  }});
}

TEST_F(MainDialogTest, BellIconIsTheSmallIcon) {
  Run({[] {
    HICON icon = LoadIconA(LayerInstance(), MAKEINTRESOURCEA(BELVANE_ICON_APP));
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(ui->form.SetIcon(icon), nullptr) << "no icon before";
    EXPECT_EQ(ui->form.SetIcon(nullptr, false, ICON_SMALL), icon);
    EXPECT_EQ(ui->form.SetIcon(nullptr, false, ICON_BIG), nullptr);
    Close();
  }});
}

TEST(Resources, BellIconHasItsThreeSizes) {
  for (int size : {16, 32, 48}) {
    auto icon = static_cast<HICON>(LoadImageA(
        GetModuleHandleA(nullptr), MAKEINTRESOURCEA(BELVANE_ICON_APP), IMAGE_ICON, size, size, 0));
    ASSERT_NE(icon, nullptr) << size;
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(icon, &info));
    BITMAP bitmap{};
    GetObjectA(info.hbmColor, sizeof bitmap, &bitmap);
    EXPECT_EQ(bitmap.bmWidth, size);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    DestroyIcon(icon);
  }
}

TEST(Resources, ManifestBringsCommonControlsSix) {
  ASSERT_TRUE(StartWindowLayer());
  ListViewControl list;  // initialises the list-view classes
  // The comctl32 the program's own imports are bound to.
  HMODULE comctl = nullptr;
  ASSERT_TRUE(GetModuleHandleExA(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCSTR>(reinterpret_cast<void*>(&InitCommonControlsEx)), &comctl));
  char path[MAX_PATH] = {};
  GetModuleFileNameA(comctl, path, MAX_PATH);
  // Version 6 lives side by side (DllGetVersion is no help: Wine's copy reports 5).
  std::string lower(path);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  EXPECT_NE(lower.find("microsoft.windows.common-controls_6595b64144ccf1df_6.0."),
            std::string::npos)
      << path;
}

// One string of the version resource's Chinese (PRC, UTF-16) table; empty when missing.
std::wstring VersionString(const std::vector<BYTE>& info, const wchar_t* name) {
  void* value = nullptr;
  UINT length = 0;
  const std::wstring query = std::wstring(L"\\StringFileInfo\\080404B0\\") + name;
  if (!VerQueryValueW(info.data(), query.c_str(), &value, &length) || length == 0) return {};
  return std::wstring(static_cast<const wchar_t*>(value), length - 1);
}

TEST(Resources, ProgramFileCarriesItsVersion) {
  // The built program beside this test, as the file's properties show it.
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring exe(self);
  exe = exe.substr(0, exe.find_last_of(L'\\') + 1) + L"Belvane.exe";
  const DWORD size = GetFileVersionInfoSizeW(exe.c_str(), nullptr);
  ASSERT_GT(size, 0u) << "no version resource";
  std::vector<BYTE> info(size);
  ASSERT_TRUE(GetFileVersionInfoW(exe.c_str(), 0, size, info.data()));

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
  const DWORD high = MAKELONG(BELVANE_VERSION_MINOR, BELVANE_VERSION_MAJOR);
  const DWORD low = MAKELONG(0, BELVANE_VERSION_PATCH);
  EXPECT_EQ(fixed->dwFileVersionMS, high);
  EXPECT_EQ(fixed->dwFileVersionLS, low);
  EXPECT_EQ(fixed->dwProductVersionMS, high);
  EXPECT_EQ(fixed->dwProductVersionLS, low);
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));

  WORD* translation = nullptr;
  ASSERT_TRUE(VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation",
                             reinterpret_cast<void**>(&translation), &length));
  ASSERT_EQ(length, 4u);
  EXPECT_EQ(translation[0], 0x0804);
  EXPECT_EQ(translation[1], 1200);

  const std::string version = BELVANE_VERSION_TEXT;
  const std::wstring wide_version(version.begin(), version.end());
  EXPECT_TRUE(VersionString(info, L"ProductName") == L"Belvane");
  EXPECT_TRUE(VersionString(info, L"FileDescription") == L"课铃与考试广播定时播放");
  EXPECT_TRUE(VersionString(info, L"FileVersion") == wide_version);
  EXPECT_TRUE(VersionString(info, L"ProductVersion") == wide_version);
  EXPECT_TRUE(VersionString(info, L"OriginalFilename") == L"Belvane.exe");
  EXPECT_TRUE(VersionString(info, L"LegalCopyright") == L"Copyright (C) 2026 Belvane developers");
}

// What the loader made of the manifest, asked the way the system asks it: a malformed file or a
// setting in the wrong namespace reads as absent here, whatever the text says.
std::wstring ManifestSetting(const wchar_t* name_space, const wchar_t* name) {
  wchar_t value[64] = {};
  SIZE_T written = 0;
  if (!QueryActCtxSettingsW(0, nullptr, name_space, name, value, std::size(value), &written))
    return L"(absent)";
  return value;
}

TEST(Resources, ManifestDeclaresWindowsSevenToElevenDpiAwarenessAndLongPaths) {
  constexpr wchar_t k2005[] = L"http://schemas.microsoft.com/SMI/2005/WindowsSettings";
  constexpr wchar_t k2016[] = L"http://schemas.microsoft.com/SMI/2016/WindowsSettings";
  // Per monitor v2 first; Windows 10 1607 knows only PerMonitor; older systems read dpiAware.
  EXPECT_EQ(ManifestSetting(k2016, L"dpiAwareness"), L"PerMonitorV2, PerMonitor");
  EXPECT_EQ(ManifestSetting(k2005, L"dpiAware"), L"true/pm");
  EXPECT_EQ(ManifestSetting(k2016, L"longPathAware"), L"true");

  // The layout systems answer in since Windows 10 (older headers lack the last member).
  struct Element {
    GUID id;
    DWORD type;
    ULONGLONG max_version_tested;
  };
  struct Compatibility {
    DWORD count;
    Element elements[16];
  } compatibility{};
  SIZE_T needed = 0;
  // A context made from this executable's manifest resource, as the loader makes it.
  wchar_t exe[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  ACTCTXW request{};
  request.cbSize = sizeof request;
  request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
  request.lpSource = exe;
  request.lpResourceName = MAKEINTRESOURCEW(1);
  const HANDLE context = CreateActCtxW(&request);
  ASSERT_NE(context, INVALID_HANDLE_VALUE) << GetLastError();
  const bool answered =
      QueryActCtxW(0, context, nullptr, CompatibilityInformationInActivationContext, &compatibility,
                   sizeof compatibility, &needed);
  ReleaseActCtx(context);
  ASSERT_TRUE(answered) << GetLastError();

  ASSERT_LE(compatibility.count, std::size(compatibility.elements));
  std::vector<std::string> systems;
  for (DWORD i = 0; i < compatibility.count; ++i) {
    if (compatibility.elements[i].type != ACTCTX_COMPATIBILITY_ELEMENT_TYPE_OS) continue;
    const GUID& id = compatibility.elements[i].id;
    char text[40];
    std::snprintf(text, sizeof text, "%08lx-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x", id.Data1,
                  id.Data2, id.Data3, id.Data4[0], id.Data4[1], id.Data4[2], id.Data4[3],
                  id.Data4[4], id.Data4[5], id.Data4[6], id.Data4[7]);
    systems.push_back(text);
  }
  EXPECT_EQ(systems, (std::vector<std::string>{
                         "35138b9a-5d96-4fbd-8e2d-a2440225f93a",  // Windows 7
                         "4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38",  // Windows 8
                         "1f676c76-80e1-4239-95bb-83d0f6d0da78",  // Windows 8.1
                         "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a",  // Windows 10 and 11
                     }));
}

}  // namespace
}  // namespace belvane::testing
