// The program entry: the application object's instance initialisation, then its run loop.
#include <windows.h>

#include "platform/appframe/application.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  belvane::ApplicationObject* app = belvane::ApplicationObject::Current();
  if (app == nullptr) return 0;  // an exe without an application object has nothing to run
  if (!app->InitInstance()) return 0;
  return app->Run();
}
