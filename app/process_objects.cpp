#include "app/process_objects.h"

namespace belvane {

ProcessObjects& TheProcessObjects() {
  // Leaked on purpose, like the player: a thread that outlived its bounded wait at exit still
  // finds what it works on.
  static ProcessObjects* const objects = new ProcessObjects();
  return *objects;
}

void StopClockAndWatcher(ProcessObjects& objects) {
  objects.clock_thread.Stop();
  objects.bell_worker.Stop();
  objects.playback_watcher.Stop();
}

}  // namespace belvane
