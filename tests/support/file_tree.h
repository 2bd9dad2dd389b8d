#pragma once
// Clearing away the folders tests and benchmarks make. Plain Win32, so that every test program
// can link it, the audio library's own (which link nothing else of ours) included.

#include <string>

namespace belvane::testing {

// Removes a folder with everything in it, subfolders and read-only files included. What cannot
// be removed (a file still open) is left behind.
void RemoveTree(const std::string& path);

}  // namespace belvane::testing
