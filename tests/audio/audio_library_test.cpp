// The carried library image, writing it beside the program, the start-up step's message, and
// the entry table before anything is bound.

#include "audio/audio_library.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include "runtime/late_binding.h"
#include "runtime/message_box.h"
#include "tests/audio/audio_test_support.h"

namespace belvane {
namespace {

using test::ReadFileBytes;
using test::TempFolder;

TEST(AudioLibraryImage, IsACountedBlockOfTheBuiltLibrary) {
  const ByteBlock image = AudioLibraryImage();
  ASSERT_NE(image.Image(), nullptr);
  ByteImageHeader header;
  std::memcpy(&header, image.Image(), sizeof header);
  EXPECT_EQ(header.one, 1u);
  ASSERT_GT(image.Size(), 2u);
  EXPECT_EQ(image.View().substr(0, 2), "MZ");
}

TEST(ProvideAudioLibraryFile, WritesTheCarriedBytesIntoAnEmptyFolder) {
  TempFolder folder("empty");
  EXPECT_EQ(ProvideAudioLibraryFile(folder.Path().c_str()), AudioLibraryFile::kWritten);
  EXPECT_TRUE(ReadFileBytes(folder.File("bass.dll")) == AudioLibraryImage().View());
}

TEST(ProvideAudioLibraryFile, NeverOverwritesWhatIsThere) {
  TempFolder folder("present");
  // A user's own build, and a 0-byte file: both stay as they are.
  for (const std::string& own : {std::string("MZ a user's own build"), std::string()}) {
    ASSERT_TRUE(test::WriteFileBytes(folder.File("bass.dll"), own));
    EXPECT_EQ(ProvideAudioLibraryFile(folder.Path().c_str()), AudioLibraryFile::kPresent);
    EXPECT_EQ(ReadFileBytes(folder.File("bass.dll")), own);
  }
}

TEST(ProvideAudioLibraryFile, AFolderOfThatNameCountsAsPresent) {
  TempFolder folder("dir");
  ASSERT_TRUE(CreateDirectoryA(folder.File("bass.dll").c_str(), nullptr));
  EXPECT_EQ(ProvideAudioLibraryFile(folder.Path().c_str()), AudioLibraryFile::kPresent);
  EXPECT_NE(GetFileAttributesA(folder.File("bass.dll").c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
}

TEST(ProvideAudioLibraryFile, AMissingFolderIsAFailedWriteNotACrash) {
  TempFolder folder("gone");
  EXPECT_EQ(ProvideAudioLibraryFile(folder.File("no such folder").c_str()),
            AudioLibraryFile::kWriteFailed);
}

// Stand-ins for BASS_Init, for the start-up step's two outcomes.
BOOL WINAPI InitFails(int, DWORD, DWORD, HWND, const void*) {
  return FALSE;
}
BOOL WINAPI InitWorks(int, DWORD, DWORD, HWND, const void*) {
  return TRUE;
}

TEST(ProvisionAudioLibrary, FailedInitShowsTheMessageOnceAndGoesOn) {
  TempFolder folder("initfail");
  std::vector<MessageBoxRequest> boxes;
  ScopedMessageBoxObserver observe([&](const MessageBoxRequest& box) {
    boxes.push_back(box);
    return IDOK;
  });
  AudioEntryTable fake;
  MusicPlayer player(fake);

  fake.Set<AudioFunction::kInit>(&InitFails);
  EXPECT_FALSE(ProvisionAudioLibrary(folder.Path().c_str(), player));
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, TextValue("无法播放音乐，请关闭重试"));
  EXPECT_EQ(boxes[0].caption, TextValue("错误"));
  EXPECT_EQ(boxes[0].style, static_cast<unsigned>(MB_OK));  // OK only, no icon
  EXPECT_EQ(boxes[0].owner, nullptr);
  // The library was still written before the attempt.
  EXPECT_TRUE(ReadFileBytes(folder.File("bass.dll")) == AudioLibraryImage().View());

  fake.Set<AudioFunction::kInit>(&InitWorks);
  EXPECT_TRUE(ProvisionAudioLibrary(folder.Path().c_str(), player));
  EXPECT_EQ(boxes.size(), 1u);
}

TEST(AudioEntryTable, EntriesStartAtTheirOwnStubs) {
  AudioEntryTable table;
  std::vector<void*> stubs;
  for (std::size_t i = 0; i < kAudioEntryCount; ++i) {
    const auto f = static_cast<AudioFunction>(i);
    EXPECT_FALSE(table.IsBound(f)) << i;
    EXPECT_EQ(table.Address(f), AudioEntryTable::StubAddress(f));
    stubs.push_back(table.Address(f));
  }
  std::sort(stubs.begin(), stubs.end());
  EXPECT_EQ(std::unique(stubs.begin(), stubs.end()), stubs.end()) << "two entries share a stub";
}

TEST(AudioEntryTable, NamesAreExportsOfTheCarriedLibrary) {
  EXPECT_STREQ(kAudioEntryNames[19].library, "Plugins\\bass.dll");
  EXPECT_STREQ(kAudioEntryNames[19].function, "BASS_PluginLoad");
  EXPECT_STREQ(kAudioEntryNames[0].function, "BASS_Init");
  // The copy the program writes out is a library that has every name of the table.
  TempFolder folder("exports");
  ASSERT_EQ(ProvideAudioLibraryFile(folder.Path().c_str()), AudioLibraryFile::kWritten);
  HMODULE library = LoadLibraryA(folder.File("bass.dll").c_str());
  ASSERT_NE(library, nullptr);
  for (std::size_t i = 0; i < kAudioEntryCount; ++i) {
    if (i < 19) {
      EXPECT_STREQ(kAudioEntryNames[i].library, "bass") << i;
    }
    EXPECT_NE(GetProcAddress(library, kAudioEntryNames[i].function), nullptr)
        << kAudioEntryNames[i].function;
  }
  FreeLibrary(library);
}

TEST(AudioEntryTable, APlayerWithoutAStreamBindsNothing) {
  // Stop, Play and State with no stream must not even load the library.
  AudioEntryTable table;
  MusicPlayer player(table);
  EXPECT_EQ(player.Stop(), 0);
  EXPECT_EQ(player.Play(), 0);
  EXPECT_EQ(player.Pause(), 0);
  EXPECT_EQ(player.State(), -2);
  EXPECT_EQ(player.GetPosition(), -1);
  for (std::size_t i = 0; i < kAudioEntryCount; ++i) {
    EXPECT_FALSE(table.IsBound(static_cast<AudioFunction>(i))) << i;
  }
}

TEST(AudioEntryTable, ThreadsRacingToBindFirstAllReachTheLibrary) {
  // The clock thread may be the first to call an entry while another thread calls it too.
  AudioEntryTable& entries = ProcessAudioEntries();
  ASSERT_FALSE(entries.IsBound(AudioFunction::kChannelIsActive));
  std::vector<std::thread> threads;
  std::atomic<int> stopped{0};
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&] {
      if (entries.Entry<AudioFunction::kChannelIsActive>()(0) == bass::kActiveStopped) ++stopped;
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(stopped, 8);
  HMODULE library = GetModuleHandleA("bass");
  ASSERT_NE(library, nullptr);
  EXPECT_EQ(entries.Address(AudioFunction::kChannelIsActive),
            reinterpret_cast<void*>(GetProcAddress(library, "BASS_ChannelIsActive")));
  // Loaded once by the binder, listed once.
  EXPECT_EQ(std::count(LoadedLibraryList().begin(), LoadedLibraryList().end(), library), 1);
}

}  // namespace
}  // namespace belvane
