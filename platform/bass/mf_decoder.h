#pragma once
// Compressed formats (mp3, m4a/aac, wma) through Media Foundation's source reader, asking it for
// 16-bit PCM. Media Foundation is loaded at run time on first use, so the library still loads on
// a Windows without it; those formats then fail with kErrorCodec. Memory held: the current
// decoded sample only.

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/bass/byte_source.h"
#include "platform/bass/decoder.h"

struct IMFSourceReader;

namespace belvane::bass {

class MfDecoder final : public Decoder {
 public:
  // Opens a source. `path` (UTF-16) is used by name when non-empty and `whole_file`; otherwise
  // the bytes are read through `source`. `identity` names the file (empty for memory) so that a
  // file whose earlier open is still stuck is not tried again meanwhile. Creating the platform's
  // reader is waited on for timeout_ms at most. On failure null and *error (kErrorFileForm: not
  // a format Media Foundation reads, or it gave no answer in time; kErrorCodec: no decoder or no
  // Media Foundation; kErrorBusy: that file's earlier open, or too many, are still stuck).
  static std::unique_ptr<MfDecoder> Open(std::unique_ptr<ByteSource> source,
                                         const std::wstring& path, bool whole_file,
                                         const std::string& identity, int* error,
                                         uint32_t timeout_ms = kOpenTimeoutMs);
  static constexpr uint32_t kOpenTimeoutMs = 15000;
  // Opens given up on whose helper threads still run.
  static size_t AbandonedOpens();
  ~MfDecoder() override;
  MfDecoder(const MfDecoder&) = delete;
  MfDecoder& operator=(const MfDecoder&) = delete;

  const PcmFormat& Format() const override { return out_; }
  size_t Read(uint8_t* out, size_t bytes) override;
  bool Seek(uint64_t byte) override;
  uint64_t Length() const override { return length_; }

 private:
  MfDecoder() = default;
  bool FetchSample();

  IMFSourceReader* reader_ = nullptr;
  std::shared_ptr<RevocableSource> source_;  // null when Media Foundation opened the file
  PcmFormat out_;
  uint64_t length_ = 0;
  std::vector<uint8_t> pending_;  // decoded bytes not yet handed out
  size_t pending_pos_ = 0;
  uint64_t skip_to_ = 0;  // after a seek: output byte where data starts counting
  bool skipping_ = false;
  bool eof_ = false;
};

}  // namespace belvane::bass
