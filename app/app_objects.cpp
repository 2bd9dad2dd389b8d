#include "app/app_objects.h"

#include <cstdlib>

#include "app/bell/record_events.h"
#include "runtime/process_frame.h"
#include "runtime/text.h"
#include "ui/ui_task.h"
#include "ui/window_layer.h"

namespace belvane {

namespace {

std::unique_ptr<AppObjects> g_app;

}  // namespace

AppObjects& App() {
  // Reached only from the start routine and the handlers it binds, which run between the
  // construction step and the exit hook; anything else is a broken start-up order.
  if (!g_app) std::abort();
  return *g_app;
}

bool HaveAppObjects() {
  return g_app != nullptr;
}

void ConstructAppObjects() {
  g_app = std::make_unique<AppObjects>();
}

void DestroyAppObjects() {
  g_app.reset();
}

void ShutDownApplication() {
  // The threads first: neither may touch the player or a window once those are gone.
  StopClockAndWatcher(TheProcessObjects());
  if (HaveAppObjects()) App().record_opening.Stop();
  if (HaveAppObjects()) App().music_watch.Stop();
  if (HaveAppObjects()) App().today.Stop();
  if (HaveAppObjects()) App().campus.Stop();
  ProcessMusicPlayer().Destroy();
  TheProcessObjects().bell_record.End();
  if (!IsFrameThread()) return;
  if (HaveAppObjects()) App().keep_awake.LetSleep();
  // The window objects go first, then the layer's maps they were entered in.
  DestroyAppObjects();
  StopWindowLayer();
}

TextValue ConfigFilePath() {
  return ConcatTexts(App().program_dir, "\\Belvane配置.ini");
}

TextValue MusicFolderPath() {
  return ConcatTexts(App().program_dir, "\\mp3");
}

void TellDayBegins(SharedTimetable& published, HWND window, int clock_day) {
  published.EnterDay(clock_day);
  PostUiTask(window, [clock_day] {
    if (HaveAppObjects()) App().today.DayBegan(clock_day);
  });
}

void TimetablesChanged(bool plan) {
  if (HaveAppObjects()) App().today.FilesChanged(plan);
}

void ShownTimetableChanged() {
  if (HaveAppObjects()) App().today.ShownChanged();
}

const DayChoice& TodaysChoice() {
  return App().today.Today();
}

}  // namespace belvane
