// The timetable through the whole-file store, as the program loads and saves it: the same file as
// the per-value calls leave, all-or-nothing saves, a full day of rows, and a list view that is
// cleared without a notification per row.

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/timetable/default_config.h"
#include "app/timetable/profile_store.h"
#include "app/timetable/timetable_file.h"
#include "app/timetable_handlers.h"
#include "app/timetable/timetable_rules.h"
#include "runtime/files.h"
#include "runtime/inifile/profile_document.h"
#include "tests/app/test_support.h"
#include "ui/form_window.h"

namespace belvane::testing {
namespace {

using Strings = std::vector<std::string>;

bool AllExist(const TextValue&) {
  return true;
}

// The names in a folder, "." and ".." left out.
Strings FilesIn(const std::string& folder) {
  Strings names;
  WIN32_FIND_DATAA entry;
  HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &entry);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    const std::string name = entry.cFileName;
    if (name != "." && name != "..") names.push_back(name);
  } while (FindNextFileA(find, &entry));
  FindClose(find);
  return names;
}

// "HH:MM:SS" of a number of seconds.
std::string TimeText(int seconds) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", seconds / 3600, seconds / 60 % 60,
                seconds % 60);
  return text;
}

// A timetable file of n rows, row i at i seconds past midnight.
std::string DayFile(int n, const std::string& count) {
  std::string time = "[time]\r\n", music = "[music]\r\n", remark = "[remark]\r\n";
  for (int i = 1; i <= n; ++i) {
    const std::string k = std::to_string(i);
    time += k + "=" + TimeText(i) + "\r\n";
    music += k + "=" + std::to_string(i % 7) + ".考试.m4a\r\n";
    remark += k + "=" + std::to_string(i) + "\r\n";
  }
  return time + music + remark + "[total]\r\nn=" + count + "\r\n";
}

using WholeFileStoreTest = ListViewTest;

TEST_F(WholeFileStoreTest, SavingLeavesTheSameFileAsThePerValueWrites) {
  // Other sections kept, a section missing (created at the end), keys above n kept, a key in
  // other case replaced in place, blanks and a comment line.
  const std::string start =
      "; kept\r\n[Other]\r\nx = 1\r\n[TIME]\r\n1=old\r\n9 = above n\r\n[total]\r\nN=9\r\n"
      "[music]\r\n2=\"quoted\"\r\n";
  ScratchFolder folder;
  const std::string per_value = folder.Write("per_value.ini", start);
  const std::string whole = folder.Write("whole.ini", start);
  rows_.Insert(0, {"08:00:00", "a b.m4a", "28800", false});
  rows_.Insert(1, {"09:00:00", "", "32400", true});
  rows_.Insert(2, {" 10:00:00 ", "考试.m4a", "", false});

  PerValueProfileStore per_value_store(per_value);
  WholeFileProfileStore whole_store(whole);
  ASSERT_TRUE(SaveTimetableTo(model_, per_value_store));
  ASSERT_TRUE(SaveTimetableTo(model_, whole_store));
  // The same values; the whole-file save keeps the lines it does not write as they were.
  for (const char* section : {"Other", "time", "music", "remark", "total"}) {
    for (const char* key : {"x", "1", "2", "3", "9", "n"}) {
      EXPECT_EQ(ReadProfileText(TextValue(whole), section, key),
                ReadProfileText(TextValue(per_value), section, key))
          << section << "/" << key;
    }
  }
  const std::string kept = "; kept\r\n[Other]\r\nx = 1\r\n[TIME]\r\n";
  EXPECT_EQ(folder.Read("whole.ini").substr(0, kept.size()), kept);

  // And it loads back as the per-value reads do.
  LoadTimetableFrom(whole_store, AllExist, rows_);
  EXPECT_EQ(Column(1), (Strings{"08:00:00", "09:00:00", "10:00:00"}));
  EXPECT_EQ(Column(2), (Strings{"a b.m4a", "", "考试.m4a"}));
}

// Each row's three values, "|" between them.
Strings RowTexts(const std::vector<TimetableEntry>& rows) {
  Strings texts;
  for (const TimetableEntry& r : rows)
    texts.push_back(r.start_time.Bytes() + "|" + r.music_name.Bytes() + "|" + r.seconds.Bytes());
  return texts;
}

TEST(WholeFileStoreRead, RowsReadInOnePassAreThoseOfThePlatformsCallPerValue) {
  const std::string files[] = {
      // The first of duplicate keys and sections wins, a key without "=" included; names in
      // other case; keys that only look like row numbers; blanks and quotes.
      "[time]\r\n1=a\r\n1=b\r\n[TIME]\r\n2=c\r\n[Music]\r\n 2 = x.m4a \r\n01=zero\r\n+3=plus\r\n"
      "3\r\n3=after\r\n[remark]\r\n4='q'\r\n5=\"\"\r\n1 =\r\n[total]\r\nn= 6\r\n",
      // Keys above the row count, rows without keys, no row sections at all.
      "[time]\r\n3=c\r\n1=a\r\n[music]\r\n2=m\r\n[total]\r\nN=2\r\n",
      "[total]\r\nn=3\r\n",
      // A byte-order mark; GBK names and values, and a trail byte that is a letter.
      "\xEF\xBB\xBF[time]\r\n1=08:00:00\r\n[remark]\r\n1=28800\r\n2=x\r\n[total]\r\nn=2\r\n",
      "[time]\r\n1=\xBF\xBC\xCA\xD4\r\n\xBF\x41=no\r\n[music]\r\n1=\xBF\x41.m4a\r\n[total]\r\nn="
      "1\r\n",
  };
  for (const std::string& file : files) {
    ScratchFolder folder;
    const std::string path = folder.Write("t.ini", file);
    WholeFileProfileStore one_pass(path);
    PerValueProfileStore platform(path);
    EXPECT_EQ(RowTexts(ReadTimetableFrom(one_pass, AllExist)),
              RowTexts(ReadTimetableFrom(platform, AllExist)))
        << file;
  }
}

TEST_F(WholeFileStoreTest, ACellOfMillionsOfBytesIsSavedWhole) {
  // Longer than the list view's old read limit (4,259,840 bytes), which saved it as empty.
  ScratchFolder folder;
  const std::string path = folder.Write("t.ini", "");
  std::string huge(4'300'000, 'a');
  for (std::size_t i = 0; i < huge.size(); i += 997) huge[i] = 'b';
  rows_.Insert(0, {"08:00:00", huge + ".m4a", "28800", false});
  WholeFileProfileStore store(path);
  ASSERT_TRUE(SaveTimetableTo(model_, store));
  rows_.Load({});
  WholeFileProfileStore reread(path);
  LoadTimetableFrom(reread, AllExist, rows_);
  ASSERT_EQ(model_.Count(), 1);
  EXPECT_TRUE(model_.Row(0).music_name.Bytes() == huge + ".m4a");
}

int __stdcall FailingReplace(const char*, const char*, unsigned long) {
  return 0;
}

TEST_F(WholeFileStoreTest, ASaveWhoseReplaceFailsKeepsTheOldFileAndIsTold) {
  ScratchFolder folder;
  const std::string before(DefaultConfigBytes());
  const std::string path = folder.Write("t.ini", before);
  rows_.Insert(0, {"08:00:00", "a.m4a", "28800", false});
  WholeFileProfileStore store(path);

  MessageBoxRecorder boxes;
  ProfileDocument::SetReplaceStepForTesting(&FailingReplace);
  const bool saved = SaveTimetableOrTell(model_, store);
  ProfileDocument::SetReplaceStepForTesting(nullptr);
  EXPECT_FALSE(saved);
  ASSERT_EQ(boxes.requests.size(), 1u);
  EXPECT_EQ(boxes.requests[0].caption, TextValue("错误"));
  EXPECT_EQ(boxes.requests[0].text, TextValue(kSaveFailedText));
  EXPECT_EQ(folder.Read("t.ini"), before);
  EXPECT_EQ(FilesIn(folder.Path()), Strings{"t.ini"});  // the temporary file is gone too
  EXPECT_EQ(rows_.Count(), 1);

  // The same save with the replace working: silent, the new file, nothing else beside it.
  EXPECT_TRUE(SaveTimetableOrTell(model_, store));
  EXPECT_EQ(boxes.requests.size(), 1u);
  EXPECT_EQ(ReadProfileText(TextValue(path), "total", "n"), TextValue("1"));
  EXPECT_EQ(FilesIn(folder.Path()), Strings{"t.ini"});
}

TEST_F(WholeFileStoreTest, ALockedFileFailsTheSaveWithAMessageAndKeepsItsBytes) {
  ScratchFolder folder;
  const std::string before(DefaultConfigBytes());
  const std::string path = folder.Write("t.ini", before);
  rows_.Insert(0, {"08:00:00", "a.m4a", "28800", false});
  HANDLE lock = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  WholeFileProfileStore store(path);
  MessageBoxRecorder boxes;
  EXPECT_FALSE(SaveTimetableOrTell(model_, store));
  CloseHandle(lock);
  EXPECT_EQ(boxes.requests.size(), 1u);
  EXPECT_EQ(folder.Read("t.ini"), before);
  EXPECT_EQ(FilesIn(folder.Path()), Strings{"t.ini"});
}

TEST_F(WholeFileStoreTest, AFullDayOfRowsIsSavedAndLoadedBackCellForCell) {
  ScratchFolder folder;
  const std::string path = folder.Write("t.ini", DayFile(kMaxTimetableRows, "86400"));
  {
    WholeFileProfileStore store(path);
    LoadTimetableFrom(store, AllExist, rows_);
  }
  ASSERT_EQ(rows_.Count(), kMaxTimetableRows);
  // Change every row (one row fewer at the top), save, and load into a fresh list.
  ASSERT_TRUE(rows_.Delete(0));
  const std::vector<Strings> saved = {Column(0), Column(1), Column(2), Column(3)};
  {
    WholeFileProfileStore store(path);
    ASSERT_TRUE(SaveTimetableTo(model_, store));
  }
  rows_.Load({});
  {
    WholeFileProfileStore store(path);
    LoadTimetableFrom(store, AllExist, rows_);
  }
  ASSERT_EQ(rows_.Count(), kMaxTimetableRows - 1);
  for (int c = 0; c < 4; ++c) EXPECT_TRUE(Column(c) == saved[c]) << "column " << c;
  EXPECT_EQ(Column(1)[0], "00:00:02");
  // Key 86,400 of the longer timetable stays in the file, unread.
  EXPECT_EQ(ReadProfileText(TextValue(path), "time", "86400"), TextValue("24:00:00"));
}

TEST_F(WholeFileStoreTest, AHandEditedHugeRowCountLoadsOneDayOfRowsAndNoMore) {
  ScratchFolder folder;
  const std::string path = folder.Write("t.ini", DayFile(7, "2147483647"));
  WholeFileProfileStore store(path);
  LoadTimetableFrom(store, AllExist, rows_);
  ASSERT_EQ(rows_.Count(), kMaxTimetableRows);
  EXPECT_EQ(view_.GetWholeCellText(6, 1), TextValue("00:00:07"));
  EXPECT_EQ(view_.GetWholeCellText(7, 0), TextValue("8"));
  EXPECT_EQ(view_.GetWholeCellText(7, 1), TextValue());
  EXPECT_EQ(view_.GetWholeCellText(kMaxTimetableRows - 1, 0), TextValue("86400"));
}

// A parent routed by the window layer that counts the per-row delete notifications it is sent.
class CountingForm final : public FormWindow {
 public:
  LRESULT WindowProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) override {
    if (message == WM_NOTIFY &&
        reinterpret_cast<const NMHDR*>(lparam)->code == static_cast<UINT>(LVN_DELETEITEM))
      ++per_row_deletes;
    return FormWindow::WindowProcedure(window, message, wparam, lparam);
  }
  int per_row_deletes = 0;
};

TEST(ListViewClearing, ClearingOrDestroyingSendsNoNotificationPerRow) {
  EnsureWindowLayer();
  CountingForm form;
  ASSERT_TRUE(form.CreateTopLevel("STATIC", "", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300));
  ListViewControl view;
  ASSERT_TRUE(view.CreateListView(form.Handle(), kTimetableListStyle, 0, 0, 400, 300));
  Timetable model;
  TimetableView rows(model, view);
  const std::vector<TimetableEntry> entries(500, TimetableEntry{"08:00:00", "a.m4a", "1", false});
  rows.Load(entries);
  ASSERT_TRUE(view.DeleteAllRows());
  EXPECT_EQ(view.RowCount(), 0);
  // A single row's delete still tells its parent.
  rows.Load(entries);
  ASSERT_TRUE(rows.Delete(0));
  EXPECT_EQ(form.per_row_deletes, 1);
  rows.Load(entries);  // clears the rows first
  EXPECT_EQ(form.per_row_deletes, 1);
  DestroyWindow(form.Handle());
  EXPECT_EQ(form.per_row_deletes, 1);
}

}  // namespace
}  // namespace belvane::testing
