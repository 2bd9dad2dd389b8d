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

DeviceRetryThread::DeviceRetryThread(Step step) {
  try {
    state_ = std::make_shared<State>();
  } catch (...) {
    return;  // no thread: the retries before each playback still run
  }
  state_->step = std::move(step);
  state_->wake = OwnedKernelHandle(CreateEventW(nullptr, FALSE, FALSE, nullptr));
  if (!state_->wake) return;
  thread_.Start([state = state_] { Run(state); });
}

DeviceRetryThread::~DeviceRetryThread() {
  if (!state_) return;
  state_->quit.store(true);
  Wake();
  // Called on the thread itself (a step that ended the program) it does not wait.
  thread_.Stop();
}

void DeviceRetryThread::Wake() {
  if (state_ && state_->wake) SetEvent(state_->wake.Get());
}

void DeviceRetryThread::Run(const std::shared_ptr<State>& state) {
  try {
    while (!state->quit.load()) {
      const std::int64_t due = state->step(static_cast<std::int64_t>(GetTickCount64()));
      // A bound keeps a wait far below INFINITE's value; the step then simply runs again.
      const DWORD wait =
          due < 0 ? INFINITE : static_cast<DWORD>(std::min<std::int64_t>(due, 3600000));
      WaitForSingleObject(state->wake.Get(), wait);
    }
  } catch (...) {
    // Nothing may leave a thread; the retries before each playback still run.
  }
}

}  // namespace belvane
