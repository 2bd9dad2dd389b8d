// The program's entry: the application object runs the process frame with the application's
// construction step, exit hook, the window layer's start-up and the start routine.

#include "app/app_objects.h"
#include "app/startup.h"
#include "platform/appframe/application.h"
#include "runtime/process_frame.h"
#include "runtime/message_box.h"
#include "ui/window_layer.h"

namespace belvane {
namespace {

// Without the layer no window can be shown: say so and take the program's one way out.
void StartLayer() {
  if (StartWindowLayer()) return;
  ShowMessageBox(nullptr, "窗口层无法启动。", "error", MB_OK | MB_ICONERROR);
  ExitProgram(0);
}

FrameApplication the_application({.construct = ConstructAppObjects,
                                  .exit_hook = ShutDownApplication,
                                  .start_window_layer = StartLayer,
                                  .start_program = StartProgram});

}  // namespace
}  // namespace belvane
