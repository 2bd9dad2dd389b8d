#pragma once
// Belvane.exe as the black-box suites see it: the main window's controls by id, the timetable
// file, and the few gestures a user makes (choose a time, press a button, answer a box).

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "resources/resource.h"
#include "tests/e2e/driver.h"

namespace belvane::e2e {

// Control ids of the main window, from the program's own resource.h.
enum ControlId : int {
  kPlaceholder = BELVANE_ID_PLACEHOLDER,
  kAddButton = BELVANE_ID_ADD,
  kHourList = BELVANE_ID_HOUR,
  kMinuteList = BELVANE_ID_MINUTE,
  kMusicList = BELVANE_ID_MUSIC_LIST,
  kSecondList = BELVANE_ID_SECOND,
  kDeleteButton = BELVANE_ID_DELETE_ROW,
  kPlayButton = BELVANE_ID_PLAY,
  kSaveButton = BELVANE_ID_SAVE,
  kClockLabel = BELVANE_ID_CLOCK,
  kNote = BELVANE_ID_NOTE,
  kTimetableChoice = BELVANE_ID_TIMETABLE_CHOICE,
};

inline constexpr char kConfigName[] = "Belvane配置.ini";
inline constexpr char kMissingMarker[] = "--------音乐文件不存在：";

// The timetable the program writes when none exists, byte for byte.
inline constexpr char kDefaultConfig[] =
    "[time]\r\n1=08:30:00\r\n2=08:40:00\r\n3=08:45:00\r\n4=08:50:00\r\n5=09:00:00\r\n"
    "6=10:45:00\r\n7=11:00:00\r\n"
    "[music]\r\n1=1.组织考生进入考场.m4a\r\n2=2.宣读考试规则.m4a\r\n3=3.监考员启封试卷袋.m4a\r\n"
    "4=4.分发试题卷和答题卷.m4a\r\n5=5.请考生开始答题.m4a\r\n6=6.考前15分钟提醒.m4a\r\n"
    "7=7.停止答题.m4a\r\n"
    "[remark]\r\n1=30600\r\n2=31200\r\n3=31500\r\n4=31800\r\n5=32400\r\n6=38700\r\n7=39600\r\n"
    "[total]\r\nn=7\r\n";

// One row of the timetable list view: sequence, start time, music, seconds.
using Row = std::vector<std::string>;

// The default timetable's rows as they show when the music folder lacks every file.
std::vector<Row> DefaultRowsWithMarkers();

// One value of an INI text, looked up as the platform's profile functions would (section and
// key without regard to case, blanks around the value trimmed); nothing when absent.
std::optional<std::string> IniValue(std::string_view ini, std::string_view section,
                                    std::string_view key);

// A timetable file's text from rows of (time, music, seconds) and a row count line.
std::string MakeConfig(const std::vector<std::vector<std::string>>& rows, std::string_view total);

class BelvaneApp {
 public:
  // The program copied into a fresh folder, or into `gbk_subfolder` inside it.
  explicit BelvaneApp(std::string_view gbk_subfolder = {});
  // The program already in `folder`, run where it is.
  explicit BelvaneApp(const std::filesystem::path& folder);

  AppUnderTest& Process() { return app_; }
  const AppUnderTest& Process() const { return app_; }

  // Starts the program and waits for its main window, answering the start-up's audio error
  // box if it comes (no sound device is not what these suites test); `audio_boxes` counts them.
  // With `answer_audio_box` false the box is left as it is.
  bool Start(int timeout_ms = kStartTimeoutMs, int* audio_boxes = nullptr,
             bool answer_audio_box = true);
  const RemoteWindow& Main() const { return main_; }

  RemoteListView Timetable() const;
  RemoteComboBox Hours() const { return RemoteComboBox(main_.Item(kHourList).Handle()); }
  RemoteComboBox Minutes() const { return RemoteComboBox(main_.Item(kMinuteList).Handle()); }
  RemoteComboBox Seconds() const { return RemoteComboBox(main_.Item(kSecondList).Handle()); }
  RemoteComboBox Timetables() const {
    return RemoteComboBox(main_.Item(kTimetableChoice).Handle());
  }
  RemoteListBox Music() const { return RemoteListBox(main_.Item(kMusicList).Handle()); }
  RemoteWindow Control(int id) const { return main_.Item(id); }

  // Every row of the timetable, four cells each.
  std::vector<Row> Rows() const { return Timetable().Rows(4); }

  // Waits until the program has handled everything posted to it so far.
  bool Settle() const { return Flush(main_.Item(kNote)); }
  // Posts a click to a button and waits until it has been handled (a box it opens stays open).
  bool Press(int button_id) const;
  // Chooses hour, minute and second ("08", "45", "00") in the three lists.
  bool ChooseTime(std::string_view hour, std::string_view minute, std::string_view second) const;
  // Chooses the time and presses "3.添加".
  bool AddAt(std::string_view hour, std::string_view minute, std::string_view second) const;
  // Clicks a row of the timetable and waits until it is selected.
  bool SelectRow(int row) const;

  // A message box of the program with the given caption, waited for until it is shown with its
  // message. The bound is generous: on a busy machine Wine can take seconds to show a box.
  RemoteMessageBox WaitForBox(std::string_view caption, int timeout_ms = kStartTimeoutMs) const;
  // True when the program has no dialog besides its main window, shown or about to be.
  bool ShowsNoBox() const;
  // Asks the program to close, answers its confirmation with OK and waits for it to end: true
  // when it ended with exit code 0.
  bool CloseConfirmed() const;

  // The timetable file's bytes; nothing when it does not exist.
  std::optional<std::string> Config() const { return app_.ReadFile(kConfigName); }

 private:
  AppUnderTest app_;
  RemoteWindow main_;
};

}  // namespace belvane::e2e
