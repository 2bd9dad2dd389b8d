// Late binding, the service dispatcher, memory blocks, message boxes and threads, in-process.
// The fatal paths end the process and are covered by frame_test.cpp.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/byte_block.h"
#include "runtime/late_binding.h"
#include "runtime/memory.h"
#include "runtime/message_box.h"
#include "runtime/path_text.h"
#include "runtime/process_frame.h"
#include "runtime/runtime_error.h"
#include "runtime/threads.h"

namespace belvane {
namespace {

using IntFunction = int();

int CallBound(const char* name) {
  return reinterpret_cast<IntFunction*>(BindLibraryFunction("runtime_test_lib", name, nullptr))();
}

TEST(BindLibraryFunction, NamesOrdinalsAndDecoratedNames) {
  void* slot = nullptr;
  void* address = BindLibraryFunction("runtime_test_lib", "TestSeven", &slot);
  EXPECT_EQ(slot, address);
  EXPECT_EQ(reinterpret_cast<IntFunction*>(slot)(), 7);
  EXPECT_EQ(CallBound("#3"), 7);          // TestSeven's ordinal
  EXPECT_EQ(CallBound("#8"), 9);          // exported by ordinal only
  EXPECT_EQ(CallBound("x@@YAHH@Z"), 21);  // looked up as "x", not as the exported decorated name
  EXPECT_EQ(CallBound("y@4"), 4);         // "@" then another character: unchanged
  EXPECT_EQ(CallBound("TestPlain"), 11);
}

TEST(BindLibraryFunction, ListsOnlyLibrariesItLoadedItself) {
  BindLibraryFunction("runtime_test_lib", "TestPlain", nullptr);
  const std::size_t listed = LoadedLibraryList().size();
  ASSERT_GE(listed, 1u);
  EXPECT_EQ(LoadedLibraryList()[0], GetModuleHandleA("runtime_test_lib"));
  BindLibraryFunction("runtime_test_lib.dll", "TestSeven", nullptr);  // already in the process
  BindLibraryFunction("kernel32", "GetTickCount", nullptr);           // never loaded by us
  EXPECT_EQ(LoadedLibraryList().size(), listed);
}

TEST(LateBoundFunction, BindsOnFirstCall) {
  static LateBoundFunction<IntFunction> seven{"runtime_test_lib", "TestSeven"};
  EXPECT_FALSE(seven.IsBound());
  EXPECT_EQ(seven()(), 7);
  EXPECT_TRUE(seven.IsBound());
  EXPECT_EQ(seven(), seven());
}

TEST(ServiceDispatcher, ConstantsAndProgramNames) {
  EXPECT_EQ(ServiceDispatcher(1004, 0, 0), 1);
  EXPECT_EQ(ServiceDispatcher(1005, 0, 0), 4);
  EXPECT_EQ(ServiceDispatcher(2030, 0, 0), 3);
  EXPECT_EQ(ServiceDispatcher(2032, 0, 0), 0);
  EXPECT_EQ(ServiceDispatcher(2033, 0, 0), 0);

  const std::string path = ModuleFileName();
  const std::string folder = path.substr(0, path.rfind('\\'));
  EXPECT_EQ(reinterpret_cast<const char*>(ServiceDispatcher(2003, 0, 0)), folder);
  EXPECT_STREQ(reinterpret_cast<const char*>(ServiceDispatcher(2004, 0, 0)), "runtime_tests.exe");
  char buffer[1024] = {};
  const auto target = reinterpret_cast<std::intptr_t>(buffer);
  EXPECT_EQ(ServiceDispatcher(1006, 2001, target), target);
  EXPECT_EQ(std::string(buffer), folder + "\\");
  EXPECT_EQ(ServiceDispatcher(1006, 2002, target), target);
  EXPECT_STREQ(buffer, "runtime_tests.exe");
  EXPECT_EQ(ServiceDispatcher(1006, 7, target), 0);
}

TEST(ServiceDispatcher, CommandLineAfterTheProgramName) {
  // The quoted form is checked from frame_test.cpp, which starts its child that way.
  const std::string all = GetCommandLineA();
  const std::string rest = reinterpret_cast<const char*>(ServiceDispatcher(2002, 0, 0));
  EXPECT_TRUE(all.ends_with(rest)) << all;
  EXPECT_EQ(rest.find("runtime_tests"), std::string::npos) << all;
}

TEST(ServiceDispatcher, TruncatesNumbersOfAValueSlot) {
  const ValueSlot d = ValueSlot::Double(-3.7);
  EXPECT_EQ(ServiceDispatcher(2001, reinterpret_cast<std::intptr_t>(&d), 0), -3);
  const ValueSlot i = ValueSlot::Integer(-5);
  EXPECT_EQ(ServiceDispatcher(2001, reinterpret_cast<std::intptr_t>(&i), 0), -5);
}

TEST(ServiceDispatcher, BlocksAndArrays) {
  auto* block = reinterpret_cast<unsigned char*>(ServiceDispatcher(2024, 64, 0));
  ASSERT_NE(block, nullptr);
  for (int k = 0; k < 64; ++k) ASSERT_EQ(block[k], 0);  // zero-filled
  std::memset(block, 0xAB, 64);
  block = reinterpret_cast<unsigned char*>(
      ServiceDispatcher(2026, reinterpret_cast<std::intptr_t>(block), 100000));
  EXPECT_EQ(block[63], 0xAB);  // kept bytes survive a move
  EXPECT_EQ(ServiceDispatcher(2025, reinterpret_cast<std::intptr_t>(block), 0), 0);

  // A text array {1, {2}, two member addresses}: members and block are released.
  auto* array = static_cast<unsigned char*>(AllocateBlock(8 + 2 * sizeof(void*)));
  const std::uint32_t header[2] = {1, 2};
  std::memcpy(array, header, sizeof header);
  void* members[2] = {AllocateBlock(4), AllocateBlock(4)};
  std::memcpy(array + 8, members, sizeof members);
  EXPECT_EQ(ServiceDispatcher(2023, static_cast<std::intptr_t>(ValueKind::kText),
                              reinterpret_cast<std::intptr_t>(array)),
            0);
  EXPECT_FALSE(HeapValidate(GetProcessHeap(), 0, members[0]));
  EXPECT_FALSE(HeapValidate(GetProcessHeap(), 0, members[1]));  // every member, not the first

  // A numeric array holds its members in place: only the block itself is released.
  void* numbers = AllocateBlock(16);
  const std::uint32_t numberHeader[3] = {1, 2, 7};
  std::memcpy(numbers, numberHeader, sizeof numberHeader);
  EXPECT_EQ(ServiceDispatcher(2023, static_cast<std::intptr_t>(ValueKind::kInteger),
                              reinterpret_cast<std::intptr_t>(numbers)),
            0);
  EXPECT_FALSE(HeapValidate(GetProcessHeap(), 0, numbers));
}

int g_pumped = 0;

LRESULT CALLBACK CountingProcedure(HWND window, UINT message, WPARAM wp, LPARAM lp) {
  if (message == WM_USER) ++g_pumped;
  return DefWindowProcA(window, message, wp, lp);
}

TEST(ServiceDispatcher, PumpsWaitingMessagesUpToAQuit) {
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = &CountingProcedure;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "PumpTestWindow";
  RegisterClassA(&windowClass);
  HWND window = CreateWindowA("PumpTestWindow", "", 0, 0, 0, 1, 1, HWND_MESSAGE, nullptr,
                              windowClass.hInstance, nullptr);
  ASSERT_NE(window, nullptr);
  PostMessageA(window, WM_USER, 0, 0);
  PostMessageA(window, WM_USER, 0, 0);
  EXPECT_EQ(ServiceDispatcher(2018, 0, 0), 0);
  EXPECT_EQ(g_pumped, 2);
  PostQuitMessage(3);
  PostMessageA(window, WM_USER, 0, 0);
  ServiceDispatcher(2018, 0, 0);
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));  // the quit stays for its loop
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
  DestroyWindow(window);
}

TEST(ServiceDispatcher, UnknownNumbersAreReported) {
  std::vector<MessageBoxRequest> seen;
  ScopedMessageBoxObserver observer([&](const MessageBoxRequest& request) {
    seen.push_back(request);
    return IDOK;
  });
  EXPECT_EQ(ServiceDispatcher(9999, 0, 0), 0);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].text, "不支持系统功能函数9999. 请将此信息反馈给作者");
  EXPECT_EQ(seen[0].caption, "nightfen");
  EXPECT_EQ(seen[0].style, static_cast<unsigned>(MB_ICONERROR));
}

TEST(ReleaseBlock, IgnoresWhatIsNotAHeapBlock) {
  static const char kLiteral[] = "constant";
  ReleaseBlock(nullptr);
  ReleaseBlock(reinterpret_cast<void*>(0x1234));
  ReleaseBlock(kLiteral);
  ReleaseBlock("literal");
  int onStack = 0;
  ReleaseBlock(&onStack);
  void* reserved = VirtualAlloc(nullptr, 4096, MEM_RESERVE, PAGE_NOACCESS);
  ReleaseBlock(reserved);
  VirtualFree(reserved, 0, MEM_RELEASE);
  EXPECT_TRUE(IsInProgramImage(kLiteral));
  EXPECT_FALSE(IsInProgramImage(&onStack));
  void* block = AllocateBlock(16);
  ReleaseBlock(block);
  EXPECT_FALSE(HeapValidate(GetProcessHeap(), 0, block));
  EXPECT_NE(ResizeBlock(nullptr, 8), nullptr);  // null acts as a new block
}

TEST(ShowMessage, ConvertsContentAndAnswersWithButtonCodeMinusOne) {
  std::vector<MessageBoxRequest> seen;
  int answer = IDOK;
  ScopedMessageBoxObserver observer([&](const MessageBoxRequest& request) {
    seen.push_back(request);
    return answer;
  });
  EXPECT_EQ(ShowMessage(ValueSlot::Text("关闭吗？"), ValueSlot::Integer(1),
                        ValueSlot::Text("防止误操作")),
            0);
  answer = IDCANCEL;
  EXPECT_EQ(ShowMessage(ValueSlot::Double(2.5), ValueSlot::Integer(1)), 1);
  answer = IDNO;
  const HWND owner = reinterpret_cast<HWND>(0x10042);
  EXPECT_EQ(ShowMessage(ValueSlot::Logical(true), {}, {}, OwnerSlot(owner)), 6);
  // A byte set with text in it still shows an empty message (ToText alone would show "ab").
  const ByteBlock bytes(std::string_view("ab"));
  EXPECT_EQ(ShowMessage(ValueSlot::ByteSet(bytes.Image()), {}, ValueSlot::Integer(5),
                        ValueSlot::Double(1.0)),
            6);
  ASSERT_EQ(seen.size(), 4u);
  EXPECT_EQ(seen[0].text, "关闭吗？");
  EXPECT_EQ(seen[0].caption, "防止误操作");
  EXPECT_EQ(seen[0].style, 1u);
  EXPECT_EQ(seen[1].text, "2.5");
  EXPECT_EQ(seen[1].caption, "信息");
  EXPECT_EQ(seen[2].text, "真");
  EXPECT_EQ(seen[2].style, 0u);
  EXPECT_EQ(seen[2].owner, owner);
  EXPECT_TRUE(seen[3].text.IsEmpty());
  EXPECT_EQ(seen[3].caption, "5");
  EXPECT_EQ(seen[3].owner, nullptr);  // an owner of another kind is ignored
}

TEST(MessageBoxObserver, ScopesNestAndRestore) {
  int outer = 0, inner = 0;
  ScopedMessageBoxObserver first([&](const MessageBoxRequest&) { return ++outer, IDOK; });
  {
    ScopedMessageBoxObserver second([&](const MessageBoxRequest&) { return ++inner, IDYES; });
    EXPECT_EQ(ShowMessageBox(nullptr, "a", "b", MB_YESNO), IDYES);
  }
  EXPECT_EQ(ShowMessageBox(nullptr, "a", "b", MB_OK), IDOK);
  EXPECT_EQ(outer, 1);
  EXPECT_EQ(inner, 1);
}

TEST(RuntimeErrors, Table) {
  EXPECT_STREQ(RuntimeErrorMessage(1), "数组成员引用下标超出定义范围");
  EXPECT_STREQ(RuntimeErrorMessage(4), "数组成员引用下标必须大于等于1");
  EXPECT_STREQ(RuntimeErrorMessage(11), "所提供参数的数据类型不符合要求");
  EXPECT_STREQ(RuntimeErrorMessage(0), "");
  EXPECT_STREQ(RuntimeErrorMessage(12), "");
}

std::atomic<int> g_received{0};

void Receive(std::intptr_t parameter) {
  g_received = static_cast<int>(parameter);
}

TEST(Threads, StartWithAndWithoutAHandle) {
  HANDLE thread = nullptr;
  ASSERT_TRUE(StartThread(&Receive, 5, &thread));
  ASSERT_NE(thread, nullptr);
  EXPECT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
  EXPECT_EQ(g_received, 5);
  EXPECT_TRUE(CloseThreadHandle(thread));
  EXPECT_FALSE(CloseThreadHandle(thread));  // already closed

  DWORD handlesBefore = 0, handlesAfter = 0;
  GetProcessHandleCount(GetCurrentProcess(), &handlesBefore);
  for (int k = 0; k < 20; ++k) ASSERT_TRUE(StartThread(&Receive, 100 + k));
  for (int wait = 0; wait < 200 && g_received != 119; ++wait) Delay(10);
  Delay(50);
  GetProcessHandleCount(GetCurrentProcess(), &handlesAfter);
  EXPECT_LT(handlesAfter, handlesBefore + 5);  // no handle left open per thread
  EXPECT_FALSE(StartThread(nullptr));
}

TEST(Threads, CommandShape) {
  g_received = 0;
  HANDLE thread = nullptr;
  const ValueSlot args[3] = {ValueSlot::Routine(reinterpret_cast<std::intptr_t>(&Receive)),
                             ValueSlot::Integer(77),
                             {reinterpret_cast<std::uintptr_t>(&thread), ValueKind::kInteger}};
  ValueSlot result = ValueSlot::Integer(-1);
  StartThreadCommand(&result, 3, args);
  EXPECT_EQ(result.kind, ValueKind::kLogical);
  EXPECT_EQ(result.AsInt32(), 1);
  ASSERT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
  EXPECT_EQ(g_received, 77);
  const ValueSlot handle{reinterpret_cast<std::uintptr_t>(thread), ValueKind::kInteger};
  CloseThreadHandleCommand(&result, 1, &handle);
  EXPECT_EQ(result.AsInt32(), 1);
}

TEST(SupportLibraries, ListInOrderAndAnswerOtherCodesWithMinusOne) {
  ASSERT_EQ(SupportLibraryList().size(), 2u);
  for (SupportLibraryRoutine notify : SupportLibraryList()) EXPECT_EQ(notify(3, 0, 0), -1);
}

}  // namespace
}  // namespace belvane
