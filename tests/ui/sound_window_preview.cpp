// Shows the "声音…" window over stand-in outputs and a stand-in state for a few seconds, for
// screenshots of the real rendering. Nothing is read, saved or played.
// Usage: ui_sound_preview.exe [seconds]  (default 5)

#include <windows.h>

#include <cstdlib>

#include "app/bell/sound_dialog.h"
#include "runtime/worker_pool.h"
#include "ui/window_layer.h"

namespace {

using namespace belvane;

void CALLBACK EndPreview(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  if (HWND window = FindWindowA("#32770", "声音")) PostMessageA(window, WM_CLOSE, 0, 0);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR command_line, int) {
  UINT seconds = 5;
  if (command_line && *command_line) seconds = static_cast<UINT>(std::atoi(command_line));
  if (!StartWindowLayer()) return 1;
  SetTimer(nullptr, 0, seconds * 1000, &EndPreview);
  WorkerPool workers;
  SoundFacts facts;
  facts.settings.output_device = "";
  facts.outputs = {{1, "扬声器 (Realtek High Definition", true}, {2, "HDMI (投影仪)", false}};
  const VolumeState state{false, 35, false, 100};
  facts.state_text = SoundStateText("扬声器 (Realtek High Definition", &state);
  OpenSoundDialog(nullptr,
                  {[facts] { return facts; }, [](const SoundSettings&) { return true; },
                   [](const SoundSettings&) { return true; }},
                  workers);
  workers.Stop();
  StopWindowLayer();
  return 0;
}
