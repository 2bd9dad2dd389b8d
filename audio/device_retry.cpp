#include "audio/device_retry.h"

#include <algorithm>

#include "platform/bass/bass_api.h"
#include "platform/bass/bass_errors.h"

namespace belvane {

bool IsDeviceError(int error) {
  return error == bass::kErrorDriver || error == bass::kErrorDevice || error == bass::kErrorStart ||
         error == bass::kErrorInit;
}

bool EndedForTheDevice(int state, int error) {
  return state == static_cast<int>(bass::kActiveStopped) && IsDeviceError(error);
}

std::int64_t DeviceRetryPlan::BackgroundDueInMs(std::int64_t now_ms) const {
  if (status_ != Status::kMissing) return -1;
  return std::max<std::int64_t>(0, last_attempt_ms_ + kDeviceRetryIntervalMs - now_ms);
}

DeviceRetryThread::DeviceRetryThread(Step step)
    : step_(std::move(step)), wake_(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {
  if (!wake_) return;
  try {
    thread_ = std::thread([this] { Run(); });
  } catch (...) {
    // No thread: the retries before each playback still run.
  }
}

DeviceRetryThread::~DeviceRetryThread() {
  quit_.store(true);
  if (wake_) SetEvent(wake_.Get());
  // Never join from the thread itself (a step that ended the program).
  if (thread_.joinable()) {
    if (thread_.get_id() == std::this_thread::get_id()) {
      thread_.detach();
    } else {
      thread_.join();
    }
  }
}

void DeviceRetryThread::Wake() {
  if (wake_) SetEvent(wake_.Get());
}

void DeviceRetryThread::Run() {
  try {
    while (!quit_.load()) {
      const std::int64_t due = step_(static_cast<std::int64_t>(GetTickCount64()));
      // A bound keeps a wait far below INFINITE's value; the step then simply runs again.
      const DWORD wait =
          due < 0 ? INFINITE : static_cast<DWORD>(std::min<std::int64_t>(due, 3600000));
      WaitForSingleObject(wake_.Get(), wait);
    }
  } catch (...) {
    // Nothing may leave a thread; the retries before each playback still run.
  }
}

}  // namespace belvane
