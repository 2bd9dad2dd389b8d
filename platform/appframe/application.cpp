#include "platform/appframe/application.h"

namespace belvane {
namespace {

// Set during static initialisation, before WinMain; read only on the first thread.
ApplicationObject* g_application = nullptr;

}  // namespace

ApplicationObject::ApplicationObject() {
  g_application = this;
}

ApplicationObject::~ApplicationObject() {
  if (g_application == this) g_application = nullptr;
}

bool ApplicationObject::InitInstance() {
  return true;
}

int ApplicationObject::Run() {
  // With no main window there is nothing to wait for: quit first, so the loop ends at once.
  if (main_window == nullptr || !IsWindow(main_window)) PostQuitMessage(0);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return static_cast<int>(msg.wParam);
}

ApplicationObject* ApplicationObject::Current() {
  return g_application;
}

bool FrameApplication::InitInstance() {
  RunProcessFrame(hooks_);
  return ApplicationObject::InitInstance();
}

}  // namespace belvane
