// The carried audio library: a counted byte block {1, n, the bytes of bass.dll} in the program's
// read-only data. The build copies the library it has just built to BELVANE_AUDIO_IMAGE_FILE and
// reassembles this file whenever that copy changes; n is counted by the assembler. Nothing else
// lives in this file, so leaving the section for .text at the end is enough.

#ifndef BELVANE_AUDIO_IMAGE_FILE
#error "BELVANE_AUDIO_IMAGE_FILE must name the library file to carry"
#endif

asm(R"(
  .section .rdata, "dr"
  .balign 8
  .globl belvane_audio_library_image
belvane_audio_library_image:
  .long 1
  .long belvane_audio_library_image_end - belvane_audio_library_image_bytes
belvane_audio_library_image_bytes:
  .incbin ")" BELVANE_AUDIO_IMAGE_FILE R"("
belvane_audio_library_image_end:
  .text
)");
