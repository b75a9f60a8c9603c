#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "castexport/media_writers.h"
#include "castexport/member_properties.h"
#include "castexport/output_file.h"
#include "module/scripting_class.h"

namespace tamarisk {

namespace {

// The text is read a machine word at a time.
using Word = std::uintptr_t;
using AliasedWord __attribute__((may_alias)) = Word;
using UnalignedWord __attribute__((may_alias, aligned(1))) = Word;
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the first byte is the lowest of a word");

constexpr Word kOnes = ~Word{0} / 0xFF;
constexpr Word kLow7 = kOnes * 0x7F;

// Whether some byte of w is below 0x0E, as NUL, LF and CR are (and a few
// rare control bytes): a quick test for the words that hold none of them.
constexpr bool MayEndRun(Word w) { return ((w - kOnes * 0x0E) & ~w & kOnes * 0x80) != 0; }

// In each byte of the result the high bit tells whether that byte of w is
// not zero (the low bits mean nothing). Exact for every byte: no carry
// crosses into the next byte, so no byte is judged by its neighbour.
constexpr Word NonZeroBytes(Word w) { return ((w & kLow7) + kLow7) | w; }

// The high bit of each byte of w that is a NUL, CR or LF.
constexpr Word RunEnds(Word w) {
  return ~((NonZeroBytes(w) & NonZeroBytes(w ^ (kOnes * '\r')) & NonZeroBytes(w ^ (kOnes * '\n'))) | kLow7);
}

// The offset of the lowest byte whose high bit is set in marks (not 0).
inline std::size_t LowestMarked(Word marks) {
  if (sizeof(Word) == sizeof(unsigned)) return static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(marks))) / 8;
  return static_cast<std::size_t>(__builtin_ctzll(marks)) / 8;
}

// The aligned word at p. Such a word never reaches into another page, so
// the bytes it holds before the text or after its terminating NUL can
// always be read, though they are not the text's: the address sanitizer is
// told so.
__attribute__((no_sanitize("address"))) inline Word AlignedWordAt(const char* p) {
  return *reinterpret_cast<const AliasedWord*>(p);
}

// Copies the text from in to out up to its next NUL, CR or LF, where in is
// left, or until out has passed limit; out may be at most limit on entry,
// and a word past limit must be room. The text is read in aligned words
// and written in whole words: the bytes written after the run are
// overwritten by what follows it.
void CopyRun(const char*& in, char*& out, const char* limit) {
  // The word that holds *in, from *in on.
  const std::size_t skip = reinterpret_cast<std::uintptr_t>(in) % sizeof(Word);
  Word w = AlignedWordAt(in - skip) >> (8 * skip);
  *reinterpret_cast<UnalignedWord*>(out) = w;
  Word ends = RunEnds(w) & (~Word{0} >> (8 * skip));
  std::size_t taken = sizeof(Word) - skip;
  for (;;) {
    if (ends != 0) taken = LowestMarked(ends);
    in += taken;
    out += taken;
    if (ends != 0 || out > limit) return;
    w = AlignedWordAt(in);
    *reinterpret_cast<UnalignedWord*>(out) = w;
    ends = MayEndRun(w) ? RunEnds(w) : 0;
    taken = sizeof(Word);
  }
}

}  // namespace

void WriteTextWithCrLf(const char* text, OutputFile& file, char* block, std::size_t blockSize) {
  // Past limit there is room for one more word and a line end.
  const char* const limit = block + blockSize - sizeof(Word) - 2;
  char* out = block;
  const char* in = text;
  for (;;) {
    CopyRun(in, out, limit);
    if (*in == '\r' || *in == '\n') {
      // CR, CR LF and a lone LF alike end a line.
      *out++ = '\r';
      *out++ = '\n';
      if (*in++ == '\r' && *in == '\n') ++in;
    } else if (*in == '\0') {
      break;
    }
    if (out > limit) {
      file.Write(block, static_cast<std::size_t>(out - block));
      out = block;
    }
  }
  file.Write(block, static_cast<std::size_t>(out - block));
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

bool WriteTextMember(ScriptingInstance* instance, HostRef<MemberAccess>& member, const char* path) {
  HostUtilities* utilities = instance->utilities;
  HostValueHolder value(utilities);
  const Status read =
      member->ops->ReadProperty(member.Get(), MakeSymbol(utilities, "text"), value.Receive());
  member.Reset();  // "text" is the last property this kind reads
  if (read != kOk) value.Forget();

  const char* text = nullptr;
  if (read != kOk || utilities->ops->ValueTextPointer(utilities, value.Get(), &text) != kOk ||
      text == nullptr) {
    text = "";  // no text from the host: an empty file
  }
  OutputFile file(path);
  ConversionBlock block;
  WriteTextWithCrLf(text, file, block.data(), block.size());
  file.Flush();
  return file.Close();
}

}  // namespace tamarisk
