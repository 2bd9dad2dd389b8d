// A small program of the audio tests, run in a folder of its own: it starts through the process
// frame as Belvane does, provisions the audio library from its own folder and reports, line by
// line in report.txt beside itself, every message box it was asked to show, the exit hook, and
// how far it got. Modes (first argument):
//   provision          ProvisionAudioLibrary, then "init 1" or "init 0"
//   lasterror          the player's LastError (binds BASS_ErrorGetCode), then "lasterror N"
//   play <file>        provision, open, play to the end; "open N", "state S" as they change,
//                      "ended" (or "timeout")
//   leave <file> [watch]  provision, open, play, and end the program while it plays (with
//                      "watch": while a watcher thread still polls the player)
// A fault on any thread writes "fault <code>" and ends the child with code 0xFA17.
// "done" is the last line of a mode that returned.

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "audio/audio_library.h"
#include "audio/music_player.h"
#include "platform/appframe/application.h"
#include "runtime/files.h"
#include "runtime/message_box.h"

namespace {

using namespace belvane;

void Report(const std::string& line) {
  const std::string path = ProgramDirectory().Bytes() + "\\report.txt";
  if (FILE* f = std::fopen(path.c_str(), "ab")) {
    std::fputs((line + "\n").c_str(), f);
    std::fclose(f);
  }
}

// A fault on any thread is reported and ends the child with a code of its own.
LONG WINAPI ReportFault(EXCEPTION_POINTERS* fault) {
  char line[64];
  std::snprintf(line, sizeof line, "fault %08lx",
                static_cast<unsigned long>(fault->ExceptionRecord->ExceptionCode));
  Report(line);
  TerminateProcess(GetCurrentProcess(), 0xFA17);
  return EXCEPTION_EXECUTE_HANDLER;
}

void Construct() {
  SetUnhandledExceptionFilter(&ReportFault);
  SetMessageBoxObserver([](const MessageBoxRequest& box) {
    Report("box\t" + std::to_string(box.owner == nullptr ? 0 : 1) + "\t" +
           std::to_string(box.style) + "\t" + box.caption.Bytes() + "\t" + box.text.Bytes());
    return IDOK;
  });
}

void ExitHook() {
  Report("exit-hook");
}

void PlayToEnd(const std::string& file) {
  MusicPlayer& player = ProcessMusicPlayer();
  player.Stop();
  Report("open " + std::to_string(player.OpenFile(file.c_str()) != 0 ? 1 : 0));
  player.Play();
  int last = -3;
  for (int waited = 0; waited < 30000; waited += 20) {
    const int state = player.State();
    if (state != last) Report("state " + std::to_string(state));
    last = state;
    if (state != 1 && state != 2) {
      Report("ended");
      return;
    }
    Sleep(20);
  }
  Report("timeout");
}

int StartProgram() {
  const std::string mode = __argc > 1 ? __argv[1] : "";
  if (mode == "provision" || mode == "play") {
    Report(std::string("init ") + (ProvisionAudioLibrary(ProgramDirectory()) ? "1" : "0"));
    if (mode == "play" && __argc > 2) PlayToEnd(__argv[2]);
  } else if (mode == "leave" && __argc > 2) {
    Report(std::string("init ") + (ProvisionAudioLibrary(ProgramDirectory()) ? "1" : "0"));
    MusicPlayer& player = ProcessMusicPlayer();
    Report("open " + std::to_string(player.OpenFile(__argv[2]) != 0 ? 1 : 0));
    player.Play();
    if (__argc > 3)
      std::thread([] {
        for (;;) {
          ProcessMusicPlayer().State();
          Sleep(1);
        }
      }).detach();
    Sleep(200);
  } else if (mode == "lasterror") {
    Report("lasterror " + std::to_string(ProcessMusicPlayer().LastError()));
  }
  Report("done");
  return 0;
}

FrameApplication the_application({.construct = Construct,
                                  .exit_hook = ExitHook,
                                  .start_window_layer = nullptr,
                                  .start_program = StartProgram});

}  // namespace
