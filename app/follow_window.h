#pragma once
// The follow window (the system menu's "跟随共享文件夹…"): the folder a campus's bell PCs follow
// (app/campus.h), a test of it ("可以读取：3 个课表，42 个音乐文件"), the follower's status as it
// changes, a look now, and stopping. 确定 follows the folder given; an empty one stops.
//
// Thread policy: user-interface thread. The test reads the source on a worker of the pool given
// and posts its answer back to the window; an answer that comes after the window has closed is
// dropped.

#include <windows.h>

#include <functional>
#include <string>

#include "app/campus.h"
#include "app/follow_view.h"
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
};

// Runs the window modally over `owner`; returns when it closes.
void OpenFollowWindow(HWND owner, FollowWindowActions actions, WorkerPool& workers);

// Over the follower: a source set or stopped here shows in the main window at once.
inline void OpenFollowWindow(HWND owner, CampusFollower& follower, WorkerPool& workers) {
  OpenFollowWindow(
      owner,
      {[&follower] { return follower.Status(); }, [&follower] { return follower.Following(); },
       [&follower](const std::string& source) {
         const bool written = follower.SetSource(source);
         ShowFollowing(follower.Status(), follower.Following());
         return written;
       },
       [&follower] { follower.LookNow(); },
       [dir = follower.ProgramDir().Bytes()](const std::string& source) {
         return DescribeSource(source, dir);
       }},
      workers);
}

}  // namespace belvane
