#pragma once
// Starting the program at the user's logon: the value "Belvane" under the current user's
// Run key holds the quoted full path of the exe. The decisions (is it on for this exe, what
// to write) are pure and made over a small store, so they are tested without a registry.
//
// Thread policy: user-interface thread (the system menu); the store is not shared.

#include <optional>
#include <string>
#include <string_view>

namespace belvane {

// The Run key and the value the program owns there.
inline constexpr wchar_t kRunKeyPath[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr wchar_t kRunValueName[] = L"Belvane";

// Where the logon entry is kept; texts are GBK.
class RunEntryStore {
 public:
  virtual ~RunEntryStore() = default;
  // The stored command; nothing when there is none (or it cannot be read).
  virtual std::optional<std::string> Read() = 0;
  virtual bool Write(std::string_view command) = 0;
  // True also when there was nothing to remove.
  virtual bool Remove() = 0;
};

// The current user's Run key in the registry.
class RegistryRunEntry final : public RunEntryStore {
 public:
  std::optional<std::string> Read() override;
  bool Write(std::string_view command) override;
  bool Remove() override;
};

// The command that starts `exe_path` at logon: the path in double quotes, so a folder with
// spaces is not cut at the first one.
std::string AutostartCommand(std::string_view exe_path);

// Whether `command` starts the program at `exe_path`: its program part (the quoted text, or
// the whole text when unquoted) names that file, letters compared without regard to case.
// Arguments after the quoted path do not matter.
bool CommandStartsProgram(std::string_view command, std::string_view exe_path);

// Whether the store's entry starts this exe: what the menu's check mark shows. An entry left
// by a copy in another folder does not count.
bool AutostartIsOn(RunEntryStore& store, std::string_view exe_path);

// What choosing the item did: switched on (and the command written) or off; `done` false when
// the store refused.
struct AutostartChange {
  bool on = false;
  bool done = false;
  std::string command;
};
// Choosing the item: an entry that starts this exe is removed; otherwise (none, or one that
// points elsewhere) this exe's command is written over it.
AutostartChange ToggleAutostart(RunEntryStore& store, std::string_view exe_path);

}  // namespace belvane
