#include "platform/bass/mf_decoder.h"

#include <mfapi.h>
#include <mferror.h>
#include <mfidl.h>
#include <mfreadwrite.h>
#include <objidl.h>

#include <cstring>
#include <mutex>
#include <thread>

#include "platform/bass/bass_api.h"
#include "platform/bass/bounded_call.h"
#include "platform/bass/media_sniff.h"

namespace belvane::bass {
namespace {

// Not in the cross headers; the prototype as documented.
using ByteStreamOnStream = HRESULT(WINAPI*)(IStream* stream, IMFByteStream** out);

// A library function by name as the type of its prototype (null when missing).
template <typename F>
F Proc(HMODULE module, const char* name) {
  return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// Media Foundation entry points, bound at run time; types taken from the real prototypes.
struct MfApi {
  decltype(&::MFStartup) startup = nullptr;
  decltype(&::MFCreateMediaType) create_media_type = nullptr;
  ByteStreamOnStream byte_stream_on_stream = nullptr;
  decltype(&::MFCreateSourceReaderFromURL) reader_from_url = nullptr;
  decltype(&::MFCreateSourceReaderFromByteStream) reader_from_stream = nullptr;
  bool ok = false;
};

// Loaded once and kept for the life of the process: streams may outlive BASS_Free on other
// threads, and unloading Media Foundation under them is not worth the risk.
const MfApi& Mf() {
  static const MfApi api = [] {
    MfApi a;
    HMODULE plat = LoadLibraryW(L"mfplat.dll");
    HMODULE rw = LoadLibraryW(L"mfreadwrite.dll");
    if (!plat || !rw) return a;
    a.startup = Proc<decltype(a.startup)>(plat, "MFStartup");
    a.create_media_type = Proc<decltype(a.create_media_type)>(plat, "MFCreateMediaType");
    a.byte_stream_on_stream =
        Proc<decltype(a.byte_stream_on_stream)>(plat, "MFCreateMFByteStreamOnStream");
    a.reader_from_url = Proc<decltype(a.reader_from_url)>(rw, "MFCreateSourceReaderFromURL");
    a.reader_from_stream =
        Proc<decltype(a.reader_from_stream)>(rw, "MFCreateSourceReaderFromByteStream");
    if (!a.startup || !a.create_media_type || !a.byte_stream_on_stream || !a.reader_from_url ||
        !a.reader_from_stream) {
      return a;
    }
    // Keep a multithreaded apartment alive so threads that never initialised COM (the caller's,
    // our decoder threads) can still create and use Media Foundation's free-threaded objects.
    using IncrementMta = HRESULT(WINAPI*)(void**);
    if (HMODULE ole = GetModuleHandleW(L"ole32.dll")) {
      if (auto inc = Proc<IncrementMta>(ole, "CoIncrementMTAUsage")) {
        void* cookie = nullptr;
        inc(&cookie);
      }
    }
    a.ok = SUCCEEDED(a.startup(MF_VERSION, MFSTARTUP_FULL));
    return a;
  }();
  return api;
}

// COM for the current scope when the thread has none yet.
class ComScope {
 public:
  ComScope() : hr_(CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
  ~ComScope() {
    if (SUCCEEDED(hr_)) CoUninitialize();
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;

 private:
  HRESULT hr_;
};

template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  ~ComPtr() {
    if (p_) p_->Release();
  }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ComPtr(ComPtr&& other) noexcept : p_(other.release()) {}
  ComPtr& operator=(ComPtr&& other) noexcept {
    if (this != &other) {
      if (p_) p_->Release();
      p_ = other.release();
    }
    return *this;
  }
  // Shares `p` (adds a reference).
  static ComPtr Share(T* p) {
    ComPtr c;
    c.p_ = p;
    if (p) p->AddRef();
    return c;
  }
  T* operator->() const { return p_; }
  T* get() const { return p_; }
  T** out() { return &p_; }
  T* release() {
    T* p = p_;
    p_ = nullptr;
    return p;
  }

 private:
  T* p_ = nullptr;
};

// A read-only IStream over a ByteSource, for memory streams and file windows. Media
// Foundation may call it from its own threads: one lock around the position.
class SourceStream final : public IStream {
 public:
  explicit SourceStream(std::shared_ptr<RevocableSource> source) : source_(std::move(source)) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IStream || riid == IID_ISequentialStream) {
      *out = static_cast<IStream*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&refs_); }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG left = InterlockedDecrement(&refs_);
    if (left == 0) delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE Read(void* out, ULONG n, ULONG* got) override {
    std::lock_guard lock(mutex_);
    const size_t done = source_->ReadAt(pos_, out, n);
    pos_ += done;
    if (got) *got = static_cast<ULONG>(done);
    return done == n ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Write(const void*, ULONG, ULONG*) override {
    return STG_E_ACCESSDENIED;
  }
  HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* now) override {
    std::lock_guard lock(mutex_);
    int64_t base = 0;
    if (origin == STREAM_SEEK_CUR) {
      base = static_cast<int64_t>(pos_);
    } else if (origin == STREAM_SEEK_END) {
      base = static_cast<int64_t>(source_->Size());
    } else if (origin != STREAM_SEEK_SET) {
      return STG_E_INVALIDFUNCTION;
    }
    const int64_t target = base + move.QuadPart;
    if (target < 0) return STG_E_INVALIDFUNCTION;
    pos_ = static_cast<uint64_t>(target);
    if (now) now->QuadPart = pos_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER) override { return STG_E_ACCESSDENIED; }
  HRESULT STDMETHODCALLTYPE CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*,
                                   ULARGE_INTEGER*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Commit(DWORD) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Revert() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
    return STG_E_INVALIDFUNCTION;
  }
  HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
    return STG_E_INVALIDFUNCTION;
  }
  HRESULT STDMETHODCALLTYPE Stat(STATSTG* stat, DWORD) override {
    if (!stat) return E_POINTER;
    std::memset(stat, 0, sizeof *stat);
    stat->type = STGTY_STREAM;
    stat->cbSize.QuadPart = source_->Size();
    stat->grfMode = STGM_READ;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Clone(IStream**) override { return E_NOTIMPL; }

 private:
  ~SourceStream() = default;
  LONG refs_ = 1;
  std::mutex mutex_;
  const std::shared_ptr<RevocableSource> source_;
  uint64_t pos_ = 0;
};

struct Kind {
  const wchar_t* extension;
  const wchar_t* mime;
};

// Media Foundation picks its byte-stream handler by name or type: tell it what the bytes are.
Kind KindOf(MediaKind kind) {
  switch (kind) {
    case MediaKind::kAsf:
      return {L".wma", L"audio/x-ms-wma"};
    case MediaKind::kMp4:
      return {L".m4a", L"audio/mp4"};
    case MediaKind::kMp3:
      return {L".mp3", L"audio/mpeg"};
    case MediaKind::kAdts:
      return {L".aac", L"audio/aac"};
    default:
      return {nullptr, nullptr};
  }
}

// Opens given up on whose helpers still run. Each keeps a thread and, when the platform opened
// the file by name, the file: at most one per file and a few in all.
AbandonedHelpers& Abandoned() {
  static AbandonedHelpers* helpers = new AbandonedHelpers(4);  // outlives detached helpers
  return *helpers;
}

// Creates the reader on a helper thread and waits a bounded time: a damaged file must not hang
// the caller. On a timeout the helper is left to finish on its own and releases what it made.
// kErrorOk, kErrorFileForm (failed or timed out) or kErrorBusy (refused by the bounds).
int CreateReaderBounded(const MfApi& mf, const std::wstring& path, IMFByteStream* bytes,
                        const std::string& identity, uint32_t timeout_ms,
                        ComPtr<IMFSourceReader>* out) {
  auto work = [&mf, path, bytes = ComPtr<IMFByteStream>::Share(bytes)]() {
    ComScope com;
    ComPtr<IMFSourceReader> reader;
    const HRESULT hr = bytes.get() ? mf.reader_from_stream(bytes.get(), nullptr, reader.out())
                                   : mf.reader_from_url(path.c_str(), nullptr, reader.out());
    if (FAILED(hr)) return ComPtr<IMFSourceReader>();
    return reader;
  };
  switch (RunBounded(Abandoned(), identity, timeout_ms, std::move(work), out)) {
    case CallOutcome::kDone:
      return out->get() ? kErrorOk : kErrorFileForm;
    case CallOutcome::kTimedOut:
      return kErrorFileForm;
    case CallOutcome::kRefused:
      break;
  }
  return kErrorBusy;
}

}  // namespace

std::unique_ptr<MfDecoder> MfDecoder::Open(std::unique_ptr<ByteSource> source,
                                           const std::wstring& path, bool whole_file,
                                           const std::string& identity, int* error,
                                           uint32_t timeout_ms) {
  const MediaKind media = SniffMedia(*source);
  const Kind kind = KindOf(media);
  const MfApi& mf = Mf();
  if (!mf.ok) {
    // Without Media Foundation nothing but WAV plays: a compressed file lacks its codec.
    *error = kind.extension ? kErrorCodec : kErrorFileForm;
    return nullptr;
  }
  ComScope com;
  *error = kErrorFileForm;
  // Containers that Wine's reader hangs on when cut short are checked first.
  if (!ContainerUsable(media, *source)) return nullptr;
  ComPtr<IMFSourceReader> reader;
  std::shared_ptr<RevocableSource> shared;
  if (!path.empty() && whole_file) {
    source.reset();  // Media Foundation opens the file itself
    *error = CreateReaderBounded(mf, path, nullptr, identity, timeout_ms, &reader);
  } else {
    shared = std::make_shared<RevocableSource>(std::move(source));
    IStream* stream = new SourceStream(shared);
    ComPtr<IMFByteStream> bytes;
    const HRESULT hr = mf.byte_stream_on_stream(stream, bytes.out());
    stream->Release();
    if (FAILED(hr)) return nullptr;
    ComPtr<IMFAttributes> attributes;
    if (kind.extension && SUCCEEDED(bytes->QueryInterface(
                              IID_IMFAttributes, reinterpret_cast<void**>(attributes.out())))) {
      const std::wstring origin = std::wstring(L"stream") + kind.extension;
      attributes->SetString(MF_BYTESTREAM_CONTENT_TYPE, kind.mime);
      attributes->SetString(MF_BYTESTREAM_ORIGIN_NAME, origin.c_str());
    }
    *error = CreateReaderBounded(mf, std::wstring(), bytes.get(), identity, timeout_ms, &reader);
    // A helper left behind may read on: cut it off from the caller's memory and the file now.
    if (*error != kErrorOk) shared->Revoke();
  }
  if (*error != kErrorOk) return nullptr;
  *error = kErrorFileForm;

  reader->SetStreamSelection(MF_SOURCE_READER_ALL_STREAMS, FALSE);
  if (FAILED(reader->SetStreamSelection(MF_SOURCE_READER_FIRST_AUDIO_STREAM, TRUE))) {
    return nullptr;  // no audio in it
  }
  *error = kErrorCodec;
  ComPtr<IMFMediaType> want;
  if (FAILED(mf.create_media_type(want.out()))) return nullptr;
  want->SetGUID(MF_MT_MAJOR_TYPE, MFMediaType_Audio);
  want->SetGUID(MF_MT_SUBTYPE, MFAudioFormat_PCM);
  want->SetUINT32(MF_MT_AUDIO_BITS_PER_SAMPLE, 16);
  if (FAILED(
          reader->SetCurrentMediaType(MF_SOURCE_READER_FIRST_AUDIO_STREAM, nullptr, want.get()))) {
    return nullptr;
  }
  ComPtr<IMFMediaType> got;
  if (FAILED(reader->GetCurrentMediaType(MF_SOURCE_READER_FIRST_AUDIO_STREAM, got.out()))) {
    return nullptr;
  }
  UINT32 rate = 0, channels = 0, bits = 0;
  got->GetUINT32(MF_MT_AUDIO_SAMPLES_PER_SECOND, &rate);
  got->GetUINT32(MF_MT_AUDIO_NUM_CHANNELS, &channels);
  got->GetUINT32(MF_MT_AUDIO_BITS_PER_SAMPLE, &bits);
  if (rate == 0 || channels == 0 || channels > 8 || bits != 16) return nullptr;

  std::unique_ptr<MfDecoder> d(new MfDecoder());
  d->out_.rate = rate;
  d->out_.channels = static_cast<uint16_t>(channels);
  d->out_.bits = 16;
  PROPVARIANT duration;
  PropVariantInit(&duration);
  if (SUCCEEDED(reader->GetPresentationAttribute(MF_SOURCE_READER_MEDIASOURCE, MF_PD_DURATION,
                                                 &duration)) &&
      duration.vt == VT_UI8) {
    // 100-ns units to whole frames, rounded.
    const uint64_t frames = (duration.uhVal.QuadPart * rate + 5000000) / 10000000;
    d->length_ = frames * d->out_.BlockAlign();
  }
  PropVariantClear(&duration);
  d->reader_ = reader.release();
  d->source_ = std::move(shared);
  *error = kErrorOk;
  return d;
}

MfDecoder::~MfDecoder() {
  if (reader_) reader_->Release();
  // Media Foundation's own threads may still hold the stream: no read reaches the caller's
  // memory once the stream is freed.
  if (source_) source_->Revoke();
}

size_t MfDecoder::AbandonedOpens() {
  return Abandoned().Count();
}

bool MfDecoder::FetchSample() {
  pending_.clear();
  pending_pos_ = 0;
  // A run of empty reads (gaps, format notices) ends in data or the end of the stream; the
  // bound only protects against a reader that never says either.
  for (int tries = 0; tries < 64; ++tries) {
    DWORD flags = 0;
    LONGLONG time = 0;
    ComPtr<IMFSample> sample;
    if (FAILED(reader_->ReadSample(MF_SOURCE_READER_FIRST_AUDIO_STREAM, 0, nullptr, &flags, &time,
                                   sample.out())) ||
        (flags & (MF_SOURCE_READERF_ENDOFSTREAM | MF_SOURCE_READERF_ERROR))) {
      return false;
    }
    if (!sample.get()) continue;
    ComPtr<IMFMediaBuffer> buffer;
    if (FAILED(sample->ConvertToContiguousBuffer(buffer.out()))) return false;
    BYTE* data = nullptr;
    DWORD size = 0;
    if (FAILED(buffer->Lock(&data, nullptr, &size))) return false;
    const uint32_t block = out_.BlockAlign();
    size -= size % block;
    size_t skip = 0;
    if (skipping_) {
      // After a seek the reader starts at a frame boundary of the codec: drop what lies before
      // the requested position.
      const uint64_t start =
          static_cast<uint64_t>(time < 0 ? 0 : time) * out_.rate / 10000000 * block;
      if (start < skip_to_) skip = skip_to_ - start < size ? skip_to_ - start : size;
      skipping_ = false;
    }
    pending_.assign(data + skip, data + size);
    buffer->Unlock();
    if (!pending_.empty()) return true;
  }
  return false;
}

size_t MfDecoder::Read(uint8_t* out, size_t bytes) {
  size_t done = 0;
  while (done < bytes) {
    if (pending_pos_ >= pending_.size()) {
      if (eof_ || !FetchSample()) {
        eof_ = true;
        break;
      }
    }
    size_t n = pending_.size() - pending_pos_;
    if (n > bytes - done) n = bytes - done;
    std::memcpy(out + done, pending_.data() + pending_pos_, n);
    pending_pos_ += n;
    done += n;
  }
  return done;
}

bool MfDecoder::Seek(uint64_t byte) {
  const uint32_t block = out_.BlockAlign();
  const uint64_t frame = byte / block;
  if (length_ != 0 && frame * block > length_) return false;
  PROPVARIANT at;
  PropVariantInit(&at);
  at.vt = VT_I8;
  at.hVal.QuadPart = static_cast<LONGLONG>(frame * 10000000 / out_.rate);
  if (FAILED(reader_->SetCurrentPosition(GUID_NULL, at))) return false;
  pending_.clear();
  pending_pos_ = 0;
  eof_ = false;
  skip_to_ = frame * block;
  skipping_ = frame != 0;
  return true;
}

}  // namespace belvane::bass
