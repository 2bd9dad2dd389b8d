// The dialog host and message routing, on the real dialog 1000.

#include "tests/ui/main_dialog_fixture.h"

#include <shellapi.h>
#include <shlobj.h>

#include <array>
#include <atomic>
#include <cstring>
#include <thread>

namespace belvane::testing {
namespace {

std::int32_t LogClick(const EventArgs& args) {
  bool no_arguments = true;
  for (std::size_t i = 0; i < 7; ++i) no_arguments &= args[i] == 0;
  MainDialogTest::seen->log.push_back(no_arguments ? "click" : "click with arguments");
  return 0;
}

TEST_F(MainDialogTest, InitHandlerGetsTheDialogWithAllControlsThenItsClientSize) {
  RECT client{};
  INT_PTR result = Run({[&] {
    GetClientRect(Dialog(), &client);
    Close();
  }});
  EXPECT_EQ(result, 0);
  EXPECT_EQ(seen->init_calls, 1);
  EXPECT_NE(seen->init_window, nullptr);
  EXPECT_TRUE(seen->all_controls_at_init);
  EXPECT_GE(seen->resized_after_init, 1);
  EXPECT_EQ(seen->resized_width, client.right);
  EXPECT_EQ(seen->resized_height, client.bottom);
}

TEST_F(MainDialogTest, CloseHandlerDecidesAndRunDialogReturnsTheDialogResult) {
  seen->close_answer = 1;
  INT_PTR result = Run({
      [] { Close(); },
      [] {
        EXPECT_EQ(seen->close_calls, 1);
        EXPECT_TRUE(IsWindow(Dialog())) << "a non-zero answer keeps the window open";
        EXPECT_TRUE(IsWindowVisible(Dialog()));
        seen->close_answer = 0;
        ui->form.SetDialogResult(7);
        Close();
      },
  });
  EXPECT_EQ(seen->close_calls, 2);
  EXPECT_EQ(result, 7);
}

TEST_F(MainDialogTest, EscapeAndEnterDoNotCloseTheWindow) {
  HWND kept = nullptr;
  INT_PTR result = Run({
      [] {
        ui->hour.SetFocus();
        // Through the modal loop's keyboard handling, as a user's key presses arrive.
        for (WPARAM key : {VK_ESCAPE, VK_RETURN}) {
          PostMessageA(ui->hour.Handle(), WM_KEYDOWN, key, 1);
          PostMessageA(ui->hour.Handle(), WM_KEYUP, key, 0xC0000001);
        }
        // And as the commands the dialog manager makes of them.
        SendMessageA(Dialog(), WM_COMMAND, IDCANCEL, 0);
        SendMessageA(Dialog(), WM_COMMAND, IDOK, 0);
      },
      [&] {
        kept = Dialog();
        EXPECT_TRUE(IsWindow(kept));
        EXPECT_EQ(seen->close_calls, 0);
        Close();
      },
  });
  EXPECT_NE(kept, nullptr);
  EXPECT_EQ(result, 0);
}

TEST_F(MainDialogTest, ClickCallsTheHandlerOnceBeforeTheDialogSeesTheCommand) {
  Run({
      [] {
        ui->add.SetClickHandler(&LogClick);
        ui->add.Click();  // BM_CLICK: a real press and release
      },
      [] {
        ASSERT_EQ(seen->log.size(), 2u);
        EXPECT_EQ(seen->log[0], "click");
        EXPECT_EQ(seen->log[1], "dialog WM_COMMAND 1003");
        seen->log.clear();
        // A button without a handler: nothing is called, the dialog still gets the command.
        ui->save.Click();
        ASSERT_EQ(seen->log.size(), 1u);
        EXPECT_EQ(seen->log[0], "dialog WM_COMMAND 1014");
        Close();
      },
  });
}

// A handler that carries its object: a member bound with its object, a lambda with state, and
// one that rebinds its own slot while it runs (the call goes on through its copy).
TEST(EventHandlerTest, CarriesItsObjectAndSurvivesRebindingItself) {
  struct Counter {
    int clicks = 0;
    std::int32_t Click(const EventArgs& args) {
      return static_cast<std::int32_t>(clicks += args[0]);
    }
    void Reset() { clicks = 0; }
  } counter;
  ButtonControl button;
  button.SetClickHandler(EventHandler::Member(&counter, &Counter::Click));
  EXPECT_EQ(CallHandler(button.ClickHandler(), 5), 5);
  EXPECT_EQ(CallHandler(EventHandler::Member(&counter, &Counter::Reset)), 0);
  EXPECT_EQ(counter.clicks, 0);
  int calls = 0;
  button.SetClickHandler([&button, &calls](const EventArgs&) {
    button.SetClickHandler(nullptr);
    ++calls;
  });
  EXPECT_NE(button.ClickHandler(), nullptr);
  CallHandler(button.ClickHandler());
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(button.ClickHandler(), nullptr);
}

TEST_F(MainDialogTest, ClickHandlerBoundBeforeAttachingIsKept) {
  ButtonControl detached;
  EXPECT_EQ(detached.SetClickHandler(&LogClick), &LogClick);
  EXPECT_EQ(detached.ClickHandler(), &LogClick);
  Run({[] {
    ui->play.SetClickHandler(&LogClick);
    SendMessageA(Dialog(), WM_COMMAND, MAKEWPARAM(BELVANE_ID_PLAY, BN_CLICKED),
                 reinterpret_cast<LPARAM>(ui->play.Handle()));
    EXPECT_EQ(seen->log.front(), "click");
    Close();
  }});
}

TEST_F(MainDialogTest, RunDialogOnAnOpenWindowReturnsZeroAtOnce) {
  INT_PTR second = -1;
  Run({[&] {
    HWND before = Dialog();
    second = ui->form.RunDialog(nullptr, BELVANE_DIALOG_MAIN, nullptr);
    EXPECT_EQ(Dialog(), before);
    Close();
  }});
  EXPECT_EQ(second, 0);
  EXPECT_EQ(seen->init_calls, 1);
}

int hook_calls = 0;
LRESULT CountingHook(HWND, UINT, WPARAM, LPARAM) {
  ++hook_calls;
  return 0;
}
LRESULT CountingCommand(HWND, int, int, LPARAM) {
  ++hook_calls;
  return 0;
}

TEST_F(MainDialogTest, DestroyingTheWindowDetachesAndUnbindsEverything) {
  static HWND old_dialog = nullptr;
  static HWND old_button = nullptr;
  Run({[] {
    old_dialog = Dialog();
    old_button = ui->add.Handle();
    SetMessageHook(old_dialog, &CountingHook);
    SetCommandHandler(old_button, &CountingCommand);
    ui->add.SetClickHandler(&LogClick);
    ui->clock.BindLeftButtonDown(&LogClick);
    ui->timetable.BindClick(&LogClick);
    ui->hour.BindSelectionChanged(&LogClick);
    ui->music.BindDoubleClick(&LogClick);
    ui->note.BindTextChanged(&LogClick);
    ui->clock.SetFont(CreateFontA(20, 0, 0, 0, 800, 0, 0, 0, 1, 0, 0, 0, 0, "宋体"));
    EXPECT_EQ(Registry().Size(), 18u);  // the dialog, 16 attached items, the list view
    Close();
  }});
  WindowObject* objects[] = {
      &ui->form, &ui->clock_caption, &ui->clock,     &ui->add,   &ui->delete_row, &ui->play,
      &ui->save, &ui->placeholder,   &ui->timetable, &ui->hour,  &ui->minute,     &ui->second,
      &ui->note, &ui->music,         &ui->choice,    &ui->today, &ui->plan,       &ui->follow};
  for (WindowObject* object : objects) {
    EXPECT_EQ(object->Handle(), nullptr);
    EXPECT_EQ(object->KeptProcedure(), nullptr);
    EXPECT_EQ(object->Handler(WindowObject::InputEvent::kLeftButtonDown), nullptr);
  }
  EXPECT_EQ(ui->form.InitHandler(), nullptr);
  EXPECT_EQ(ui->form.CloseHandler(), nullptr);
  EXPECT_EQ(ui->form.Handler(FormWindow::FormEvent::kResized), nullptr);
  EXPECT_EQ(ui->add.ClickHandler(), nullptr);
  EXPECT_EQ(ui->timetable.Handler(ListViewControl::Event::kClick), nullptr);
  EXPECT_EQ(ui->hour.Handler(DropListControl::Event::kSelectionChanged), nullptr);
  EXPECT_EQ(ui->music.DoubleClickHandler(), nullptr);
  EXPECT_EQ(ui->note.TextChangedHandler(), nullptr);
  EXPECT_EQ(ui->clock.BackgroundBrush(), nullptr);
  EXPECT_EQ(Registry().Size(), 0u) << "no entry may outlive its window";
  // A later window given the same handle value must not reach the old window's hooks.
  hook_calls = 0;
  SharedWindowProcedure(old_dialog, WM_USER + 7, 0, 0);
  SharedWindowProcedure(old_dialog, WM_COMMAND, MAKEWPARAM(1003, BN_CLICKED),
                        reinterpret_cast<LPARAM>(old_button));
  EXPECT_EQ(hook_calls, 0);

  // A detached object can be attached anew: the dialog runs a second time.
  seen->init_calls = 0;
  EXPECT_EQ(Run({[] { Close(); }}), 0);
  EXPECT_EQ(seen->init_calls, 1);
}

TEST_F(MainDialogTest, DefaultRunHasNoHiddenOwner) {
  Run({[] {
    EXPECT_EQ(GetWindow(Dialog(), GW_OWNER), nullptr);
    EXPECT_EQ(FindWindowA("WTWindow", "ShowTaskbar"), nullptr);
    Close();
  }});
}

TEST_F(MainDialogTest, WithoutTaskbarButtonAHiddenOwnerOwnsTheDialog) {
  Run({[] {
        HWND owner = GetWindow(Dialog(), GW_OWNER);
        ASSERT_NE(owner, nullptr);
        char name[64] = {}, title[64] = {};
        GetClassNameA(owner, name, sizeof name);
        GetWindowTextA(owner, title, sizeof title);
        EXPECT_STREQ(name, "WTWindow");
        EXPECT_STREQ(title, "ShowTaskbar");
        EXPECT_FALSE(IsWindowVisible(owner));
        RECT rect{};
        GetWindowRect(owner, &rect);
        EXPECT_EQ(rect.right - rect.left, 250);
        EXPECT_EQ(rect.bottom - rect.top, 110);
        Close();
      }},
      false);
  EXPECT_EQ(FindWindowA("WTWindow", "ShowTaskbar"), nullptr) << "the owner goes with its dialog";
}

// A dropped-files block as the shell builds it: DROPFILES, then NUL-separated ANSI names.
HGLOBAL MakeDrop(std::initializer_list<const char*> names) {
  std::string list;
  for (const char* name : names) list.append(name).push_back('\0');
  list.push_back('\0');
  HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + list.size());
  auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
  drop->pFiles = sizeof(DROPFILES);
  drop->fWide = FALSE;
  std::memcpy(reinterpret_cast<char*>(drop) + sizeof(DROPFILES), list.data(), list.size());
  GlobalUnlock(memory);
  return memory;
}

std::string g_dropped;
std::int32_t OnFilesDropped(const EventArgs& args) {
  g_dropped = reinterpret_cast<const char*>(args[0]);
  return 0;
}

TEST_F(MainDialogTest, DroppedFilesArriveAsOneTextJoinedByCrLf) {
  g_dropped.clear();
  Run({[] {
    ui->music.BindFilesDropped(&OnFilesDropped);
    SendMessageA(ui->music.Handle(), WM_DROPFILES,
                 reinterpret_cast<WPARAM>(MakeDrop({"C:\\a.mp3", "C:\\音乐\\b.wav"})), 0);
    Close();
  }});
  EXPECT_EQ(g_dropped, "C:\\a.mp3\r\nC:\\音乐\\b.wav");
}

TEST_F(MainDialogTest, WorkerThreadsDriveControlsThroughTheWindowsThread) {
  std::atomic<bool> done{false};
  std::thread worker;
  Run({
      [&] {
        ui->timetable.SetCellTextSource(
            [](int, int column) { return TextValue(column == 1 ? "08:45:00" : ""); });
        worker = std::thread([&] {
          ui->clock.Caption("08:45:00");
          ui->play.Caption("停止播放");
          ui->timetable.SetRowCount(1);
          ui->timetable.SetCurrentRow(0);
          done = true;
        });
      },
      [&] {
        // Not joined before it is done: it waits on this thread's message handling.
        if (!done) {
          seen->log.push_back("waiting");
          PostMessageA(Dialog(), WM_NULL, 0, 0);
        }
      },
      [] {},
      [] {},
      [] {},
      [] {},
      [&] {
        ASSERT_TRUE(done.load());
        worker.join();
        EXPECT_EQ(ui->clock.Caption(), TextValue("08:45:00"));
        EXPECT_EQ(ui->play.Caption(), TextValue("停止播放"));
        EXPECT_EQ(ui->timetable.GetCellText(0, 1), TextValue("08:45:00"));
        EXPECT_EQ(ui->timetable.SelectionMark(), 0);
        ui->timetable.SetCellTextSource({});
        Close();
      },
  });
  if (worker.joinable()) worker.join();
}

}  // namespace
}  // namespace belvane::testing

namespace belvane::testing {
namespace {

std::vector<std::array<std::intptr_t, 3>> g_calls;
std::int32_t g_answer = 0;
std::int32_t Record(const EventArgs& args) {
  g_calls.push_back({args[0], args[1], args[2]});
  return g_answer;
}
int g_enters = 0, g_leaves = 0;
std::int32_t CountEnter(const EventArgs&) {
  return ++g_enters, 0;
}
std::int32_t CountLeave(const EventArgs&) {
  return ++g_leaves, 0;
}

TEST_F(MainDialogTest, InputEventsReachTheirHandlersWithTheirArguments) {
  g_calls.clear();
  g_enters = g_leaves = 0;
  Run({[] {
    HWND note = ui->note.Handle();
    ui->note.BindRightButtonUp(&Record);
    g_answer = 1;  // ends the message: no context menu opens
    // y is sign-extended, x is not.
    SendMessageA(note, WM_RBUTTONUP, 0, MAKELPARAM(40000, -5));
    ASSERT_EQ(g_calls.size(), 1u);
    EXPECT_EQ(g_calls[0][0], 40000);
    EXPECT_EQ(g_calls[0][1], -5);

    ui->note.BindCharacter(&Record);  // still answering 1: the edit box never sees it
    SendMessageA(note, WM_CHAR, 'Z', 0);
    ASSERT_EQ(g_calls.size(), 2u);
    EXPECT_EQ(g_calls.back()[0], 'Z');
    EXPECT_EQ(ui->note.GetText().View().find('Z'), std::string_view::npos);

    ui->note.BindWheel(&Record);
    SendMessageA(note, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-120)), 0);
    ASSERT_EQ(g_calls.size(), 3u);
    EXPECT_EQ(g_calls.back()[0], -120);

    // Mouse enter once per visit, leave when the platform reports it.
    ui->note.BindMouseEnter(&CountEnter);
    ui->note.BindMouseLeave(&CountLeave);
    SendMessageA(note, WM_MOUSEMOVE, 0, MAKELPARAM(3, 3));
    SendMessageA(note, WM_MOUSEMOVE, 0, MAKELPARAM(4, 4));
    EXPECT_EQ(g_enters, 1);
    SendMessageA(note, WM_MOUSELEAVE, 0, 0);
    EXPECT_EQ(g_leaves, 1);
    SendMessageA(note, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    EXPECT_EQ(g_enters, 2);

    // A window-level event: moved gets the new client origin.
    ui->form.BindMoved(&Record);
    g_answer = 0;
    SetWindowPos(Dialog(), nullptr, 120, 90, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    ASSERT_EQ(g_calls.size(), 4u);
    POINT origin{0, 0};
    ClientToScreen(Dialog(), &origin);
    EXPECT_EQ(g_calls.back()[0], origin.x);
    EXPECT_EQ(g_calls.back()[1], origin.y);
    Close();
  }});
}

}  // namespace
}  // namespace belvane::testing

namespace belvane::testing {
namespace {

TEST_F(MainDialogTest, ModelessDialogIsDestroyedWhenItsCloseIsAllowed) {
  FormWindow second;
  Run({
      [&] {
        auto window = reinterpret_cast<HWND>(
            second.RunDialogFromTemplate(Dialog(), BELVANE_DIALOG_MAIN, nullptr, false));
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(second.Handle(), window);
        EXPECT_EQ(Registry().Find(window), &second);
        EXPECT_EQ(PendingDialog(), nullptr);
        second.Close();  // no close handler: the window goes
        EXPECT_FALSE(IsWindow(window));
        EXPECT_EQ(second.Handle(), nullptr);
        EXPECT_EQ(Registry().Find(window), nullptr);
        EXPECT_TRUE(IsWindow(Dialog())) << "the main window is untouched";
        Close();
      },
  });
}

}  // namespace
}  // namespace belvane::testing
