// The service dispatcher: the table of numbered services the runtime hands to its support
// libraries (process_frame.h lists them), with the helpers only it uses.

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "runtime/frame_internal.h"
#include "runtime/memory.h"
#include "runtime/message_box.h"
#include "runtime/path_text.h"
#include "runtime/process_frame.h"
#include "runtime/text.h"

namespace belvane {

namespace {

// The program's folder and file name as the dispatcher hands them out.
struct ProgramNames {
  char folder_with_slash[MAX_PATH * 4] = {};
  char folder[MAX_PATH * 4] = {};
  char file_name[MAX_PATH * 4] = {};
  bool valid = false;
};

const ProgramNames& Names() {
  static const ProgramNames names = [] {
    ProgramNames n;
    const std::string path = ModuleFileName();
    const std::size_t cut = LastBackslash(path);
    if (path.empty() || path.size() >= sizeof n.folder) return n;
    const std::size_t folder_end = cut == std::string::npos ? 0 : cut;
    const std::size_t name_start = cut == std::string::npos ? 0 : cut + 1;
    std::memcpy(n.folder, path.data(), folder_end);
    std::memcpy(n.folder_with_slash, path.data(), cut == std::string::npos ? 0 : cut + 1);
    std::memcpy(n.file_name, path.data() + name_start, path.size() - name_start);
    n.valid = true;
    return n;
  }();
  return names;
}

// The command line after the program's own name (quoted or not) and the one blank after it.
const char* CommandLineArguments() {
  const char* p = GetCommandLineA();
  if (*p == '"') {
    ++p;
    while (*p && *p != '"') ++p;
    if (*p == '"') ++p;
  } else {
    while (*p && *p != ' ' && *p != '\t') ++p;
  }
  if (*p == ' ' || *p == '\t') ++p;
  return p;
}

void PumpWaitingMessages() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
    if (msg.message == WM_QUIT) break;
    PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

// Releases an array image {d, dims[d], members} whose members have kind `member_kind`.
void ReleaseArray(std::uint32_t member_kind, void* image) {
  if (image == nullptr) return;
  switch (static_cast<ValueKind>(member_kind)) {
    case ValueKind::kText:
    case ValueKind::kByteSet: {
      const ArrayMembers array = MembersOf(image);
      const char* members = static_cast<const char*>(array.first);
      for (std::size_t i = 0; i < array.count; ++i) {
        void* member;  // members hold addresses: pointer-sized, possibly unaligned
        std::memcpy(&member, members + i * sizeof member, sizeof member);
        ReleaseBlock(member);
      }
      ReleaseBlock(image);
      return;
    }
    default:
      if (IsScalarKind(static_cast<ValueKind>(member_kind))) ReleaseBlock(image);
      return;
  }
}

}  // namespace

std::intptr_t ServiceDispatcher(int number, std::intptr_t arg1, std::intptr_t arg2) {
  switch (number) {
    case 1004:
      return 1;
    case 1005:
      return 4;
    case 1006: {
      const ProgramNames& names = Names();
      char* target = reinterpret_cast<char*>(arg2);
      if (target == nullptr || !names.valid) return 0;
      if (arg1 == 1 || arg1 == 2001) {
        std::strcpy(target, names.folder_with_slash);
      } else if (arg1 == 2002) {
        std::strcpy(target, names.file_name);
      } else {
        return 0;
      }
      return arg2;
    }
    case 2001: {
      const auto* slot = reinterpret_cast<const ValueSlot*>(arg1);
      if (slot == nullptr) return 0;
      if (slot->kind == ValueKind::kFloat || slot->kind == ValueKind::kDouble) {
        return ToInteger(*slot);
      }
      return slot->AsInt32();
    }
    case 2002:
      return reinterpret_cast<std::intptr_t>(CommandLineArguments());
    case 2003:
      return Names().valid ? reinterpret_cast<std::intptr_t>(Names().folder) : 0;
    case 2004:
      return Names().valid ? reinterpret_cast<std::intptr_t>(Names().file_name) : 0;
    case 2018:
      PumpWaitingMessages();
      return 0;
    case 2023:
      ReleaseArray(static_cast<std::uint32_t>(arg1), reinterpret_cast<void*>(arg2));
      return 0;
    case 2024:
      return reinterpret_cast<std::intptr_t>(AllocateBlock(static_cast<std::size_t>(arg1)));
    case 2025:
      ReleaseBlock(reinterpret_cast<const void*>(arg1));
      return 0;
    case 2026:
      return reinterpret_cast<std::intptr_t>(
          ResizeBlock(reinterpret_cast<void*>(arg1), static_cast<std::size_t>(arg2)));
    case 2027: {
      const char* text = reinterpret_cast<const char*>(arg1);
      const TextValue message = ConcatTexts("Nightfen RunTime Error:\r\n\r\n", text ? text : "");
      ShowFatalBox(message, "ERROR");
      ExitProgram(0);
    }
    case 2028:
      ExitProgram(static_cast<int>(arg1));
    case 2030:
      return 3;
    case 2032:
    case 2033:
      return 0;
    default: {
      char message[128];
      std::snprintf(message, sizeof message, "不支持系统功能函数%d. 请将此信息反馈给作者", number);
      ShowMessageBox(nullptr, message, "nightfen", MB_ICONERROR);
      return 0;
    }
  }
}

}  // namespace belvane
