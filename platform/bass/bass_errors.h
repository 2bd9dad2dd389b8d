#pragma once
// The library's error codes (BASS_ErrorGetCode), apart from the Windows interface so that the
// platform-free readers (WAV, container checks) can report them too.

namespace belvane::bass {

// Error codes (BASS_ErrorGetCode).
inline constexpr int kErrorOk = 0;
inline constexpr int kErrorMemory = 1;
inline constexpr int kErrorFileOpen = 2;
inline constexpr int kErrorDriver = 3;
inline constexpr int kErrorHandle = 5;
inline constexpr int kErrorFormat = 6;
inline constexpr int kErrorPosition = 7;
inline constexpr int kErrorInit = 8;
// The output is not running (another implementation's answer to a lost device).
inline constexpr int kErrorStart = 9;
inline constexpr int kErrorAlready = 14;
inline constexpr int kErrorIllParam = 20;
inline constexpr int kErrorDevice = 23;
inline constexpr int kErrorNotAvail = 37;
inline constexpr int kErrorFileForm = 41;
inline constexpr int kErrorCodec = 44;
// An earlier open of the same file is still stuck in the platform's decoder, or too many are.
inline constexpr int kErrorBusy = 46;
inline constexpr int kErrorUnknown = -1;

}  // namespace belvane::bass
