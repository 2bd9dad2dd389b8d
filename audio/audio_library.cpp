#include "audio/audio_library.h"

#include "runtime/files.h"
#include "runtime/message_box.h"
#include "runtime/text.h"

// The image, assembled from the built library (resources/audio_image.cpp).
// Named as resources/audio_image.cpp spells it: without the underscore the 32-bit build puts
// before C names.
extern "C" const unsigned char belvane_audio_library_image[] asm("belvane_audio_library_image");

namespace belvane {

ByteBlock AudioLibraryImage() {
  return ByteBlock::OverImage(belvane_audio_library_image);
}

AudioLibraryFile ProvideAudioLibraryFile(const TextValue& program_dir) {
  const TextValue path = ConcatTexts(program_dir, "\\bass.dll");
  if (FileExists(path)) return AudioLibraryFile::kPresent;
  return WriteWholeFile(path, AudioLibraryImage()) ? AudioLibraryFile::kWritten
                                                   : AudioLibraryFile::kWriteFailed;
}

void ShowNoSoundBox() {
  ShowMessageBox(nullptr, "无法播放音乐，请关闭重试", "错误", MB_OK);
}

bool ProvisionAudioLibrary(const TextValue& program_dir, MusicPlayer& player,
                           void (*tell_failure)()) {
  // A failed write is not reported: the library may still be found elsewhere, and when it is
  // not, the binder says so.
  ProvideAudioLibraryFile(program_dir);
  if (player.Init(nullptr)) return true;
  if (tell_failure != nullptr) tell_failure();
  return false;
}

}  // namespace belvane
