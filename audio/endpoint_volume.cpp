#include "audio/endpoint_volume.h"

#include <windows.h>
#include <audiopolicy.h>
#include <endpointvolume.h>
#include <mmdeviceapi.h>

#include <cmath>
#include <cstdio>

#include "runtime/late_binding.h"

namespace belvane {

namespace {

// Spelled out: the cross import libraries do not carry them all.
constexpr CLSID kMMDeviceEnumerator = {
    0xbcde0395, 0xe52f, 0x467c, {0x8e, 0x3d, 0xc4, 0x57, 0x92, 0x91, 0x69, 0x2e}};
constexpr IID kIMMDeviceEnumerator = {
    0xa95664d2, 0x9614, 0x4f35, {0xa7, 0x46, 0xde, 0x8d, 0xb6, 0x36, 0x17, 0xe6}};
constexpr IID kIAudioEndpointVolume = {
    0x5cdf2c82, 0x841e, 0x4546, {0x97, 0x22, 0x0c, 0xf7, 0x40, 0x78, 0x22, 0x9a}};
constexpr IID kIAudioSessionManager2 = {
    0x77aa99a0, 0x1bd6, 0x484f, {0x8b, 0xc7, 0x2c, 0x65, 0x4c, 0x9a, 0x9b, 0x6f}};

// One COM pointer, released when it goes.
template <class T>
class ComRef {
 public:
  ComRef() = default;
  ~ComRef() { Reset(); }
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  void** Out() {
    Reset();
    return reinterpret_cast<void**>(&p_);
  }
  T** TypedOut() {
    Reset();
    return &p_;
  }
  void Reset() {
    if (p_) p_->Release();
    p_ = nullptr;
  }

 private:
  T* p_ = nullptr;
};

std::string Failure(const char* what, HRESULT hr) {
  char text[96];
  std::snprintf(text, sizeof text, "%s 0x%08lX", what, static_cast<unsigned long>(hr));
  return text;
}

int PercentOf(float scalar) {
  return static_cast<int>(std::lround(scalar * 100.0f));
}

class PlatformVolume final : public SystemVolume {
 public:
  bool Read(VolumeState* state, std::string* why) override {
    if (!Bind(why)) return false;
    BOOL muted = FALSE;
    float level = 0;
    HRESULT hr = endpoint_->GetMute(&muted);
    if (SUCCEEDED(hr)) hr = endpoint_->GetMasterVolumeLevelScalar(&level);
    if (FAILED(hr)) {
      *why = Failure("读取音量失败", hr);
      return false;
    }
    state->muted = muted != FALSE;
    state->level = PercentOf(level);
    // The session is this process's default one, which waveOut plays into; without it the
    // program's own level counts as full.
    state->session_muted = false;
    state->session_level = 100;
    if (session_) {
      BOOL session_muted = FALSE;
      float session_level = 1.0f;
      if (SUCCEEDED(session_->GetMute(&session_muted)) &&
          SUCCEEDED(session_->GetMasterVolume(&session_level))) {
        state->session_muted = session_muted != FALSE;
        state->session_level = PercentOf(session_level);
      }
    }
    return true;
  }

  bool Write(const VolumeState& wanted, const VolumeState& now, std::string* why) override {
    if (!endpoint_ && !Bind(why)) return false;
    HRESULT hr = S_OK;
    if (wanted.level != now.level) {
      hr =
          endpoint_->SetMasterVolumeLevelScalar(static_cast<float>(wanted.level) / 100.0f, nullptr);
      if (FAILED(hr)) return Fail("设置音量失败", hr, why);
    }
    if (wanted.muted != now.muted) {
      hr = endpoint_->SetMute(wanted.muted ? TRUE : FALSE, nullptr);
      if (FAILED(hr)) return Fail("取消静音失败", hr, why);
    }
    if (session_ && wanted.session_level != now.session_level) {
      hr = session_->SetMasterVolume(static_cast<float>(wanted.session_level) / 100.0f, nullptr);
      if (FAILED(hr)) return Fail("设置程序音量失败", hr, why);
    }
    if (session_ && wanted.session_muted != now.session_muted) {
      hr = session_->SetMute(wanted.session_muted ? TRUE : FALSE, nullptr);
      if (FAILED(hr)) return Fail("取消程序静音失败", hr, why);
    }
    return true;
  }

 private:
  static bool Fail(const char* what, HRESULT hr, std::string* why) {
    *why = Failure(what, hr);
    return false;
  }

  // The default output's volume objects, bound afresh.
  bool Bind(std::string* why) {
    endpoint_.Reset();
    session_.Reset();
    using CreateInstance = HRESULT WINAPI(REFCLSID, LPUNKNOWN, DWORD, REFIID, LPVOID*);
    auto* const create =
        reinterpret_cast<CreateInstance*>(FindLibraryFunction("ole32", "CoCreateInstance"));
    if (!create) {
      *why = "系统无音量接口";
      return false;
    }
    ComRef<IMMDeviceEnumerator> enumerator;
    HRESULT hr =
        create(kMMDeviceEnumerator, nullptr, CLSCTX_ALL, kIMMDeviceEnumerator, enumerator.Out());
    if (FAILED(hr)) {
      *why = Failure("系统无音量接口", hr);
      return false;
    }
    ComRef<IMMDevice> device;
    hr = enumerator->GetDefaultAudioEndpoint(eRender, eConsole, device.TypedOut());
    if (FAILED(hr)) {
      *why = Failure("无默认输出设备", hr);
      return false;
    }
    hr = device->Activate(kIAudioEndpointVolume, CLSCTX_ALL, nullptr, endpoint_.Out());
    if (FAILED(hr)) {
      endpoint_.Reset();
      *why = Failure("无法取得输出音量", hr);
      return false;
    }
    ComRef<IAudioSessionManager2> sessions;
    if (SUCCEEDED(device->Activate(kIAudioSessionManager2, CLSCTX_ALL, nullptr, sessions.Out())))
      sessions->GetSimpleAudioVolume(nullptr, FALSE, session_.TypedOut());
    return true;
  }

  ComRef<IAudioEndpointVolume> endpoint_;
  ComRef<ISimpleAudioVolume> session_;
};

}  // namespace

std::unique_ptr<SystemVolume> MakePlatformVolume() {
  return std::make_unique<PlatformVolume>();
}

}  // namespace belvane
