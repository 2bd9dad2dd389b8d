#pragma once
// The follow window (the system menu's "跟随共享文件夹…"): the folder a campus's bell PCs follow
// (app/campus/campus.h), a test of it ("可以读取：3 个课表，42 个音乐文件"), the follower's status
// as it changes, a look now, and stopping. 确定 follows the folder given; an empty one stops.
//
// Thread policy: user-interface thread. The test reads the source on a worker of the pool given
// and posts its answer back to the window; an answer that comes after the window has closed is
// dropped.

#include <windows.h>

#include <functional>
#include <string>

#include "app/campus/campus.h"
#include "app/campus/follow_view.h"
#include "runtime/text.h"
#include "runtime/worker_pool.h"

namespace belvane {

// What the window works on: the follower's methods, or a stand-in (the preview).
struct FollowWindowActions {
  std::function<FollowStatus()> status;
  std::function<bool()> following;
  // False when the setting could not be written.
  std::function<bool(const std::string& source)> set_source;
  std::function<void()> look_now;
  // Runs on a worker: reads the source.
  std::function<std::string(const std::string& source)> describe;
  // The file set_source writes, checked first (app/timetable/gbk_save.h); empty for a stand-in.
  TextValue settings_file;
  // Asked before following starts; false stays as it is (the window open). Empty: not asked.
  std::function<bool()> may_follow = nullptr;
  // The name of this PC's report at the source, and setting it (false: could not be written).
  // Empty: the field is left as it is.
  std::function<std::string()> report_name = nullptr;
  std::function<bool(const std::string& name)> set_report_name = nullptr;
};

// Runs the window modally over `owner`; returns when it closes.
void OpenFollowWindow(HWND owner, FollowWindowActions actions, WorkerPool& workers);

}  // namespace belvane
