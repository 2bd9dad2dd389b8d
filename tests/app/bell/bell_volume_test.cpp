// The bell level over a stand-in for the platform's volume: what a bell sets, what it puts back
// (and what it leaves because someone changed it), what the record hears, and a platform that
// refuses.

#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/bell/bell_output.h"
#include "app/bell/bell_record.h"
#include "app/bell/bell_volume.h"
#include "app/bell/sound_dialog.h"
#include "app/bell/sound_settings.h"
#include "runtime/inifile/profile_document.h"

namespace belvane::testing {
namespace {

// Refuses the level (as Wine does) or every part, as told.
class FakeVolume final : public SystemVolume {
 public:
  bool Read(VolumeState* state, std::string* why) override {
    ++reads;
    if (refuse_read) {
      *why = "读取音量失败";
      return false;
    }
    *state = now;
    return true;
  }
  bool Write(const VolumeState& wanted, const VolumeState&, std::string* why) override {
    if (refuse_all) {
      *why = "系统无音量接口";
      return false;
    }
    const int level = now.level;
    now = wanted;
    if (refuse_level && wanted.level != level) {
      now.level = level;
      *why = "设置音量失败 0x80004001";
      return false;
    }
    return true;
  }
  VolumeState now;
  bool refuse_read = false, refuse_level = false, refuse_all = false;
  int reads = 0;
};

struct Case {
  const char* name;
  VolumeState before;
  SoundSettings settings;
  std::optional<VolumeState> changed_meanwhile;  // someone's change while the bell plays
  int refuse = 0;                                // 1: the level, 2: everything
  VolumeState during;
  VolumeState after;
  std::vector<std::string> notes;
  const char* shown;   // what the PC's report says of it
  bool muted = false;  // the bell plays muted
};

VolumeState V(bool muted, int level, bool session_muted = false, int session_level = 100) {
  return VolumeState{muted, level, session_muted, session_level};
}

std::string NoteText(const VolumeNote& note) {
  std::string text = note.kind;
  if (!note.file.empty()) text += " " + note.file;
  if (!note.text.empty()) text += " " + note.text;
  return text;
}

TEST(BellVolumeTest, SetsForTheBellAndPutsBackWhatNobodyChanged) {
  const SoundSettings standard;
  const SoundSettings keep_mute{60, false, ""};
  const SoundSettings off{0, true, ""};
  // clang-format off
  const Case cases[] = {
      {"muted and low", V(true, 12), standard, {}, 0, V(false, 60), V(true, 12),
       {"已调整 a.wav 静音→取消, 12%→60%", "已恢复"}, "60%（原 12%，静音）"},
      {"loud enough", V(false, 80), standard, {}, 0, V(false, 80), V(false, 80), {}, "80%"},
      {"at the least level", V(false, 60), standard, {}, 0, V(false, 60), V(false, 60), {}, "60%"},
      {"mute kept as told", V(true, 30), keep_mute, {}, 0, V(true, 60), V(true, 30),
       {"已调整 a.wav 30%→60%", "已恢复"}, "60%，静音（原 30%，静音）"},
      {"the program's session", V(false, 90, true, 50), standard, {}, 0, V(false, 90),
       V(false, 90, true, 50), {"已调整 a.wav 程序静音→取消, 程序音量 50%→100%", "已恢复"},
       "90%（原 90%，程序静音）"},
      {"feature off", V(true, 5), off, {}, 0, V(true, 5), V(true, 5), {}, "5%，静音"},
      {"level changed during the bell", V(true, 12), standard, V(false, 30), 0, V(false, 30),
       V(true, 30), {"已调整 a.wav 静音→取消, 12%→60%", "已恢复"}, "60%（原 12%，静音）"},
      {"everything changed during the bell", V(true, 12), standard, V(true, 75), 0, V(true, 75),
       V(true, 75), {"已调整 a.wav 静音→取消, 12%→60%"}, "60%（原 12%，静音）"},
      {"level refused", V(true, 12), standard, {}, 1, V(false, 12), V(true, 12),
       {"无法调整 设置音量失败 0x80004001", "已调整 a.wav 静音→取消", "已恢复"},
       "12%（原 12%，静音）"},
      {"everything refused", V(true, 12), standard, {}, 2, V(true, 12), V(true, 12),
       {"无法调整 系统无音量接口"}, "12%，静音", true},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeVolume system;
    system.now = c.before;
    system.refuse_level = c.refuse == 1;
    system.refuse_all = c.refuse == 2;
    std::vector<std::string> notes;
    BellVolume volume(system, [&](const VolumeNote& note) { notes.push_back(NoteText(note)); });
    volume.Prepared(c.settings);
    EXPECT_EQ(volume.BeforeStart(c.settings, "a.wav"), c.muted);
    EXPECT_EQ(volume.Shown(), c.shown);
    if (c.changed_meanwhile) system.now = *c.changed_meanwhile;
    EXPECT_EQ(system.now, c.during);
    volume.Ended();
    EXPECT_EQ(system.now, c.after);
    EXPECT_EQ(notes, c.notes);
  }
}

TEST(BellVolumeTest, AFailureIsRecordedOncePerCauseAndTheStateIsReadAheadOnly) {
  FakeVolume system;
  system.now = V(false, 10);
  system.refuse_all = true;
  std::vector<std::string> notes;
  BellVolume volume(system, [&](const VolumeNote& note) { notes.push_back(NoteText(note)); });
  const SoundSettings settings;
  for (int bell = 0; bell < 3; ++bell) {
    volume.Prepared(settings);
    EXPECT_FALSE(volume.BeforeStart(settings, "a.wav"));
    volume.Ended();
  }
  system.refuse_all = false;
  system.refuse_read = true;
  volume.Prepared(settings);
  volume.BeforeStart(settings, "a.wav");
  EXPECT_EQ(volume.Shown(), "");  // not known
  EXPECT_EQ(notes, (std::vector<std::string>{"无法调整 系统无音量接口", "无法调整 读取音量失败"}));
  // Read ahead, so that the second only sets.
  system.refuse_read = false;
  system.now = V(false, 10);
  volume.Prepared(settings);
  const int reads = system.reads;
  volume.BeforeStart(settings, "a.wav");
  EXPECT_EQ(system.reads, reads);
  EXPECT_EQ(system.now.level, 60);
}

TEST(SoundSettingsTest, DefaultsForWhatIsMissingOrUnreadableAndOtherKeysKept) {
  EXPECT_EQ(SoundSettingsOf(ProfileDocument::FromBytes("")).least_level, 60);
  const SoundSettings read = SoundSettingsOf(ProfileDocument::FromBytes(
      "; 学校的设置\r\n[声音]\r\n最低音量=35\r\n取消静音=否\r\n输出设备=扬声器\r\n其他=1\r\n"));
  EXPECT_EQ(read.least_level, 35);
  EXPECT_FALSE(read.unmute);
  EXPECT_EQ(read.output_device, "扬声器");
  for (const char* bad : {"最低音量=101", "最低音量=-1", "最低音量=六十", "最低音量=", "x=1"}) {
    const SoundSettings s =
        SoundSettingsOf(ProfileDocument::FromBytes(std::string("[声音]\r\n") + bad + "\r\n"));
    EXPECT_EQ(s.least_level, 60) << bad;
    EXPECT_TRUE(s.unmute) << bad;
  }
  ProfileDocument document =
      ProfileDocument::FromBytes("; 学校的设置\r\n[声音]\r\n最低音量=35\r\n其他=1\r\n");
  PutSoundSettings(document, SoundSettings{0, true, ""});
  EXPECT_EQ(*document.Serialize(),
            "; 学校的设置\r\n[声音]\r\n最低音量=0\r\n其他=1\r\n取消静音=是\r\n输出设备=\r\n");
}

// The output a bell rings on, look after look: the default followed as it moves, a name (or its
// first characters, or the system's cut name) picking its output, a missing one said once and
// again only after it was found, and what the record and the window say.
TEST(BellOutputTest, FollowsTheDefaultPicksANameAndSaysAMissingOneOnce) {
  const std::vector<OutputInfo> speakers = {{1, "扬声器 (Realtek High Definit", true},
                                            {2, "HDMI", false}};
  const std::vector<OutputInfo> hdmi = {{1, "扬声器 (Realtek High Definit", false},
                                        {2, "HDMI", true}};
  struct Look {
    const std::vector<OutputInfo>* outputs;
    std::string wanted;
    int device;
    bool moved;
    std::string notes;  // "name" or "!name" (missing), joined by '|'
  };
  const std::vector<OutputInfo> none;
  const Look looks[] = {
      {&speakers, "", kDefaultOutput, false, ""},  // the first look says nothing
      {&speakers, "", kDefaultOutput, false, ""},
      {&hdmi, "", kDefaultOutput, true, "HDMI"},                        // the default moved
      {&none, "", kDefaultOutput, false, ""},                           // no list: nothing changes
      {&hdmi, "扬声器", 1, true, "扬声器 (Realtek High Definit"},       // its first characters
      {&hdmi, "扬声器 (Realtek High Definition Audio)", 1, false, ""},  // the mixer's full name
      {&hdmi, "USB 音箱", kDefaultOutput, true, "!USB 音箱|HDMI"},
      {&speakers, "USB 音箱", kDefaultOutput, true, "扬声器 (Realtek High Definit"},
      {&hdmi, "hdmi", kDefaultOutput, true, "!hdmi|HDMI"},  // bytes as written
      {&hdmi, "HDMI", 2, false, ""},
      {&hdmi, "hdmi", kDefaultOutput, false, "!hdmi"},  // found between: said again
  };
  BellOutput output;
  int at = 0;
  for (const Look& look : looks) {
    const OutputStep step = output.Look(*look.outputs, look.wanted);
    std::string notes;
    for (const OutputNote& note : step.notes)
      notes += (notes.empty() ? "" : "|") + std::string(note.missing ? "!" : "") + note.name;
    EXPECT_EQ(step.device, look.device) << "look " << at;
    EXPECT_EQ(step.moved, look.moved) << "look " << at;
    EXPECT_EQ(notes, look.notes) << "look " << at;
    ++at;
  }
  EXPECT_TRUE(OutputLine({}, "USB 音箱", true).ends_with("\t设备\t未找到\tUSB 音箱\t改用默认"));
  EXPECT_TRUE(OutputLine({}, "HDMI", false).ends_with("\t设备\tHDMI"));
  EXPECT_EQ(DefaultFirst(hdmi).front().name, "HDMI");
  const VolumeState state{false, 35, false, 100};
  EXPECT_EQ(SoundStateText("扬声器", &state), "当前：扬声器，音量 35%，未静音");
  EXPECT_EQ(SoundStateText("", nullptr), "当前：默认输出，音量无法读取");
}

}  // namespace
}  // namespace belvane::testing
