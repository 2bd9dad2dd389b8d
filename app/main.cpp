#include <windows.h>

// Placeholder entry until the process frame lands.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return 0; }
