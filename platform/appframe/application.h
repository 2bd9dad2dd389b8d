#pragma once
// Our stand-in for the framework's application object: one process-wide object built during
// static initialisation, whose InitInstance the entry point calls, and a run loop that ends the
// process. The entry point (WinMain, in this library) does:
//   app = ApplicationObject::Current();  app->InitInstance();  return app->Run();
// Run posts the quit message first when there is no main window (this program registers none),
// so the loop ends at once and the process exits with code 0.
//
// How an exe uses it: link belvane_appframe (it supplies WinMain) and define, at namespace
// scope in one source file,
//   static belvane::FrameApplication the_application({
//       .construct = ConstructObjects, .exit_hook = DestroyObjects,
//       .start_window_layer = StartWindowLayer, .start_program = StartProgram});
// FrameApplication::InitInstance runs the process frame (runtime/process_frame.h) with them.
// Thread: everything here runs on the process's first thread, the user-interface thread.

#include <windows.h>

#include "runtime/process_frame.h"

namespace belvane {

class ApplicationObject {
 public:
  // Registers this object as the process's one application object.
  ApplicationObject();
  virtual ~ApplicationObject();
  ApplicationObject(const ApplicationObject&) = delete;
  ApplicationObject& operator=(const ApplicationObject&) = delete;

  // The instance initialisation; the default does nothing and returns true.
  virtual bool InitInstance();
  // The message loop; returns the exit code carried by the quit message.
  virtual int Run();

  // The registered object, or null when the exe defines none.
  static ApplicationObject* Current();

  // Window whose end ends the loop; null (the default) makes Run post quit at once.
  HWND main_window = nullptr;
};

// The application object that runs the process frame with the program's hooks.
class FrameApplication : public ApplicationObject {
 public:
  explicit FrameApplication(const ProgramHooks& hooks) : hooks_(hooks) {}
  // Runs the frame (returns once ExitProgram has run), then the default InitInstance.
  bool InitInstance() override;

 private:
  ProgramHooks hooks_;
};

}  // namespace belvane
