#include "app/autostart.h"

#include <windows.h>

#include "runtime/gbk.h"
#include "runtime/path_text.h"

namespace belvane {

namespace {

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// Closes a registry key at the end of its scope.
class OpenKey {
 public:
  OpenKey() = default;
  ~OpenKey() {
    if (key_) RegCloseKey(key_);
  }
  OpenKey(const OpenKey&) = delete;
  OpenKey& operator=(const OpenKey&) = delete;
  HKEY* Out() { return &key_; }
  HKEY Get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

}  // namespace

std::optional<std::string> RegistryRunEntry::Read() {
  OpenKey key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kRunKeyPath, 0, KEY_QUERY_VALUE, key.Out()) != ERROR_SUCCESS)
    return std::nullopt;
  constexpr DWORD kFlags = RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND;
  DWORD bytes = 0;
  if (RegGetValueW(key.Get(), nullptr, kRunValueName, kFlags, nullptr, nullptr, &bytes) !=
      ERROR_SUCCESS)
    return std::nullopt;
  std::wstring value(bytes / sizeof(wchar_t) + 1, L'\0');
  bytes = static_cast<DWORD>(value.size() * sizeof(wchar_t));
  if (RegGetValueW(key.Get(), nullptr, kRunValueName, kFlags, nullptr, value.data(), &bytes) !=
      ERROR_SUCCESS)
    return std::nullopt;
  value.resize(wcsnlen(value.c_str(), value.size()));
  return std::string(GbkFromWide(value).View());
}

bool RegistryRunEntry::Write(std::string_view command) {
  OpenKey key;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kRunKeyPath, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                      key.Out(), nullptr) != ERROR_SUCCESS)
    return false;
  const std::wstring value = WideFromGbk(command);
  return RegSetValueExW(key.Get(), kRunValueName, 0, REG_SZ,
                        reinterpret_cast<const BYTE*>(value.c_str()),
                        static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

bool RegistryRunEntry::Remove() {
  OpenKey key;
  const LONG opened = RegOpenKeyExW(HKEY_CURRENT_USER, kRunKeyPath, 0, KEY_SET_VALUE, key.Out());
  if (opened == ERROR_FILE_NOT_FOUND) return true;
  if (opened != ERROR_SUCCESS) return false;
  const LONG removed = RegDeleteValueW(key.Get(), kRunValueName);
  return removed == ERROR_SUCCESS || removed == ERROR_FILE_NOT_FOUND;
}

std::string AutostartCommand(std::string_view exe_path) {
  std::string command = "\"";
  command += exe_path;
  command += '"';
  return command;
}

bool CommandStartsProgram(std::string_view command, std::string_view exe_path) {
  std::string_view program = Trim(command);
  if (!program.empty() && program.front() == '"') {
    program.remove_prefix(1);
    const std::size_t close = program.find('"');
    if (close == std::string_view::npos) return false;
    program = program.substr(0, close);
  }
  return !program.empty() &&
         PathIdentity(WideFromGbk(program)) == PathIdentity(WideFromGbk(exe_path));
}

bool AutostartIsOn(RunEntryStore& store, std::string_view exe_path) {
  const std::optional<std::string> command = store.Read();
  return command && CommandStartsProgram(*command, exe_path);
}

AutostartChange ToggleAutostart(RunEntryStore& store, std::string_view exe_path) {
  AutostartChange change;
  if (AutostartIsOn(store, exe_path)) {
    change.on = false;
    change.done = store.Remove();
  } else {
    change.on = true;
    change.command = AutostartCommand(exe_path);
    change.done = store.Write(change.command);
  }
  return change;
}

}  // namespace belvane
