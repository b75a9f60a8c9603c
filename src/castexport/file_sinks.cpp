#include "castexport/file_sinks.h"

namespace tamarisk {

bool StreamFileSink::Write(const void* data, std::size_t size) { return file_.Write(data, size); }

bool PiecewiseFileSink::Write(const void* data, std::size_t size) {
  const uint8* bytes = static_cast<const uint8*>(data);
  std::size_t left = size;
  while (ok_ && left > kPieceSize) {
    ok_ = platform::WriteToFile(file_.get(), bytes, kPieceSize);
    bytes += kPieceSize;
    left -= kPieceSize;
  }
  if (ok_) ok_ = platform::WriteToFile(file_.get(), bytes, static_cast<uint32>(left));
  return ok_;
}

}  // namespace tamarisk
