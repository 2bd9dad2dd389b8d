// A stand-in audio library of the tests: it has BASS_Init, which always fails, and nothing else.
// It plays a user's own build (kept and used) and a library lacking a function.

#include <windows.h>

extern "C" __declspec(dllexport) BOOL WINAPI BASS_Init(int, DWORD, DWORD, HWND, const void*) {
  return FALSE;
}
