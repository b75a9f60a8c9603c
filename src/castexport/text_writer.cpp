#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "castexport/media_writers.h"
#include "castexport/scripting_instance.h"
#include "host/host_ref.h"

namespace tamarisk {

namespace {

// The text is scanned a machine word at a time.
using Word = std::uintptr_t;
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the first byte is the lowest of a word");

constexpr Word kOnes = ~Word{0} / 0xFF;
constexpr Word kLow7 = kOnes * 0x7F;

// Whether some byte of w is below 0x0E, as LF and CR are (and a few rare
// control bytes): a quick test for the words that hold neither.
constexpr bool MayHoldLineEnd(Word w) { return ((w - kOnes * 0x0E) & ~w & kOnes * 0x80) != 0; }

// In each byte of the result the high bit tells whether that byte of w is
// not zero (the low bits mean nothing). Exact for every byte: no carry
// crosses into the next byte, so no byte is judged by its neighbour.
constexpr Word NonZeroBytes(Word w) { return ((w & kLow7) + kLow7) | w; }

// The high bit of each byte of w that is a CR or an LF.
constexpr Word LineEnds(Word w) {
  return ~((NonZeroBytes(w ^ (kOnes * '\r')) & NonZeroBytes(w ^ (kOnes * '\n'))) | kLow7);
}

// The offset of the lowest byte whose high bit is set in marks (not 0).
inline std::size_t LowestMarked(Word marks) {
  if (sizeof(Word) == sizeof(unsigned)) {
    return static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(marks))) / 8;
  }
  return static_cast<std::size_t>(__builtin_ctzll(marks)) / 8;
}

// Copies the text from in to out up to its next CR or LF or its end, where
// in is left, or until out has passed limit. out may be at most limit on
// entry, and a word past limit must be room. Only the text's own bytes are
// read; whole words are written, and what follows the run overwrites the
// bytes written past it.
void TakeRun(const char*& in, const char* end, char*& out, const char* limit) {
  while (out <= limit) {
    if (static_cast<std::size_t>(end - in) < sizeof(Word)) {
      while (in < end && *in != '\r' && *in != '\n') *out++ = *in++;
      return;
    }
    Word w;
    std::memcpy(&w, in, sizeof w);
    std::memcpy(out, &w, sizeof w);
    const Word ends = MayHoldLineEnd(w) ? LineEnds(w) : 0;
    const std::size_t taken = ends != 0 ? LowestMarked(ends) : sizeof w;
    in += taken;
    out += taken;
    if (ends != 0) return;
  }
}

}  // namespace

void WriteTextWithCrLf(const char* text, ByteSink& sink, char* block, std::size_t blockSize) {
  // Past limit there is room for one more word and a line end.
  const char* const limit = block + blockSize - sizeof(Word) - 2;
  const char* const end = text + std::strlen(text);
  char* out = block;
  const char* in = text;
  while (in < end) {
    TakeRun(in, end, out, limit);
    if (in < end && (*in == '\r' || *in == '\n')) {
      // CR, CR LF and a lone LF alike end a line.
      *out++ = '\r';
      *out++ = '\n';
      if (*in++ == '\r' && in < end && *in == '\n') ++in;
    }
    if (out > limit) {
      sink.Write(block, static_cast<std::size_t>(out - block));
      out = block;
    }
  }
  sink.Write(block, static_cast<std::size_t>(out - block));
}

namespace {

// Where the text is converted. A stream call costs about as much as
// converting a few hundred kilobytes (measured under Wine), so the block is
// large; when the memory is not there a small one does the same in more
// calls.
class ConversionBlock {
 public:
  ConversionBlock() : large_(static_cast<char*>(std::malloc(kLargeSize))) {}
  ~ConversionBlock() { std::free(large_); }
  ConversionBlock(const ConversionBlock&) = delete;
  ConversionBlock& operator=(const ConversionBlock&) = delete;
  char* data() { return large_ != nullptr ? large_ : small_; }
  std::size_t size() const { return large_ != nullptr ? kLargeSize : sizeof small_; }

 private:
  static constexpr std::size_t kLargeSize = 1 << 20;
  char* large_;
  char small_[4096];
};

}  // namespace

WriteOutcome WriteTextMember(ScriptingInstance* instance, HostRef<MemberAccess>& member,
                             ByteSink& sink) {
  HostUtilities* utilities = instance->utilities;
  HostValueHolder value(utilities);
  const bool read = value.Read(member.Get(), "text");
  member.Reset();  // "text" is the last property this kind reads

  const char* text = nullptr;
  if (!read || utilities->ops->ValueTextPointer(utilities, value.Get(), &text) != kOk ||
      text == nullptr) {
    text = "";  // no text from the host: an empty file
  }
  ConversionBlock block;
  WriteTextWithCrLf(text, sink, block.data(), block.size());
  return sink.Finish() ? WriteOutcome::kWritten : WriteOutcome::kNotWritten;
}

}  // namespace tamarisk
