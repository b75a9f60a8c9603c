#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#include <emmintrin.h>
#define TAMARISK_HAS_SSE2_PATH 1
#endif

#include "castexport/media_writers.h"
#include "castexport/scripting_instance.h"
#include "host/host_ref.h"

// The text's end is found in the same pass as its line ends, so the scan
// reads whole aligned chunks: never past the page that holds the text's
// last byte, but past the text within that chunk, which the address
// sanitizer would take for an overflow.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TAMARISK_READS_ALIGNED_CHUNKS __attribute__((no_sanitize("address")))
#endif
#endif
#if !defined(TAMARISK_READS_ALIGNED_CHUNKS) && defined(__SANITIZE_ADDRESS__)
#define TAMARISK_READS_ALIGNED_CHUNKS __attribute__((no_sanitize("address")))
#endif
#if !defined(TAMARISK_READS_ALIGNED_CHUNKS)
#define TAMARISK_READS_ALIGNED_CHUNKS
#endif

namespace tamarisk {

namespace {

// Room past the conversion block's limit: one chunk written whole, then a line end.
constexpr std::size_t kChunkRoom = 16;

template <std::size_t N>
inline void Move(char* out, const char* in) {
  char bytes[N];
  std::memcpy(bytes, in, N);
  std::memcpy(out, bytes, N);
}

// Copies n bytes (at most 16) in a few fixed-size moves, which the compiler
// makes plain loads and stores, not a call. Reads only those n bytes.
inline void CopyFew(char* out, const char* in, std::size_t n) {
  if (n >= 8) {
    Move<8>(out, in);
    Move<8>(out + n - 8, in + n - 8);
  } else if (n >= 4) {
    Move<4>(out, in);
    Move<4>(out + n - 4, in + n - 4);
  } else if (n >= 2) {
    Move<2>(out, in);
    Move<2>(out + n - 2, in + n - 2);
  } else if (n == 1) {
    *out = *in;
  }
}

inline unsigned LowestBit(unsigned bits) { return static_cast<unsigned>(__builtin_ctz(bits)); }

// ---- a machine word at a time ----------------------------------------------------

using Word = std::uintptr_t;
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the first byte is the lowest of a word");

constexpr Word kOnes = ~Word{0} / 0xFF;
constexpr Word kLow7 = kOnes * 0x7F;

// Whether some byte of w is below 0x0E, as NUL, LF and CR are (and a few
// rare control bytes): a quick test for the words that hold none of them.
constexpr bool MayHoldStop(Word w) { return ((w - kOnes * 0x0E) & ~w & kOnes * 0x80) != 0; }

// In each byte of the result the high bit tells whether that byte of w is
// not zero (the low bits mean nothing). Exact for every byte: no carry
// crosses into the next byte, so no byte is judged by its neighbour.
constexpr Word NonZeroBytes(Word w) { return ((w & kLow7) + kLow7) | w; }

// The high bit of each byte of w that is a CR, an LF or a NUL.
constexpr Word StopBytes(Word w) {
  return ~((NonZeroBytes(w ^ (kOnes * '\r')) & NonZeroBytes(w ^ (kOnes * '\n')) &
            NonZeroBytes(w)) |
           kLow7);
}

// Where in the word at `at` (aligned) the first CR, LF or NUL is, from byte
// `from` on; sizeof(Word) when none is.
TAMARISK_READS_ALIGNED_CHUNKS inline std::size_t FirstStopInWord(const char* at,
                                                                   std::size_t from) {
  Word w;
  std::memcpy(&w, at, sizeof w);
  const Word stops = MayHoldStop(w) ? StopBytes(w) >> (8 * from) << (8 * from) : 0;
  if (stops == 0) return sizeof(Word);
  return sizeof(Word) == sizeof(unsigned)
             ? LowestBit(static_cast<unsigned>(stops)) / 8
             : static_cast<std::size_t>(__builtin_ctzll(static_cast<unsigned long long>(stops))) /
                   8;
}

// Copies the text from in to out up to its next CR, LF or NUL, where in is
// left, or until out has passed limit. out is at most limit on entry, and a
// chunk past limit must be room. Whole words are written: what follows the
// run overwrites the bytes written past it.
TAMARISK_READS_ALIGNED_CHUNKS void TakeRunByWords(const char*& in, char*& out,
                                                  const char* limit) {
  const std::size_t skew = reinterpret_cast<std::uintptr_t>(in) % sizeof(Word);
  const char* at = in - skew;
  std::size_t stop = FirstStopInWord(at, skew);
  CopyFew(out, in, stop - skew);
  out += stop - skew;
  in = at + stop;
  if (stop < sizeof(Word)) return;
  for (at += sizeof(Word); out <= limit; at += sizeof(Word)) {
    std::memcpy(out, at, sizeof(Word));
    stop = FirstStopInWord(at, 0);
    out += stop;
    in = at + stop;
    if (stop < sizeof(Word)) return;
  }
}

// ---- sixteen bytes at a time -----------------------------------------------------

#if defined(TAMARISK_HAS_SSE2_PATH)
// A bit for each byte of chunk that is a CR, an LF or a NUL.
__attribute__((target("sse2"))) inline unsigned StopsInChunk(__m128i chunk) {
  const __m128i stops =
      _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(chunk, _mm_set1_epi8('\r')),
                                _mm_cmpeq_epi8(chunk, _mm_set1_epi8('\n'))),
                   _mm_cmpeq_epi8(chunk, _mm_setzero_si128()));
  return static_cast<unsigned>(_mm_movemask_epi8(stops));
}

// As TakeRunByWords, sixteen bytes a step.
__attribute__((target("sse2"))) TAMARISK_READS_ALIGNED_CHUNKS void TakeRunBySse2(
    const char*& in, char*& out, const char* limit) {
  const std::size_t skew = reinterpret_cast<std::uintptr_t>(in) % 16;
  const char* at = in - skew;
  // A bit past the chunk: the lowest bit set is the first stop, or 16 for none.
  const unsigned none = 1u << 16;
  std::size_t stop = LowestBit(
      (StopsInChunk(_mm_load_si128(reinterpret_cast<const __m128i*>(at))) >> skew << skew) | none);
  CopyFew(out, in, stop - skew);
  out += stop - skew;
  in = at + stop;
  if (stop < 16) return;
  for (at += 16; out <= limit; at += 16) {
    const __m128i chunk = _mm_load_si128(reinterpret_cast<const __m128i*>(at));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), chunk);
    stop = LowestBit(StopsInChunk(chunk) | none);
    out += stop;
    in = at + stop;
    if (stop < 16) return;
  }
}

bool HasSse2() {
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  return __get_cpuid(1, &eax, &ebx, &ecx, &edx) != 0 && (edx & bit_SSE2) != 0;
}
#endif

using TakeRun = void (*)(const char*& in, char*& out, const char* limit);

// Chosen once, as the module loads: every Windows that runs the host has
// SSE2, but a processor without it still gets the words.
#if defined(TAMARISK_HAS_SSE2_PATH)
const TakeRun kTakeRun = HasSse2() ? TakeRunBySse2 : TakeRunByWords;
#else
const TakeRun kTakeRun = TakeRunByWords;
#endif

void WriteRuns(TakeRun takeRun, const char* text, ByteSink& sink, char* block,
               std::size_t blockSize) {
  const char* const limit = block + blockSize - kChunkRoom - 2;
  char* out = block;
  const char* in = text;
  for (;;) {
    takeRun(in, out, limit);
    const char stop = *in;
    if (stop == '\0') break;
    if (stop == '\r' || stop == '\n') {
      // CR, CR LF and a lone LF alike end a line.
      *out++ = '\r';
      *out++ = '\n';
      if (*++in == '\n' && stop == '\r') ++in;
    }
    if (out > limit) {
      sink.Write(block, static_cast<std::size_t>(out - block));
      out = block;
    }
  }
  sink.Write(block, static_cast<std::size_t>(out - block));
}

}  // namespace

void WriteTextWithCrLf(const char* text, ByteSink& sink, char* block, std::size_t blockSize) {
  WriteRuns(kTakeRun, text, sink, block, blockSize);
}

void WriteTextWithCrLfByWords(const char* text, ByteSink& sink, char* block,
                              std::size_t blockSize) {
  WriteRuns(TakeRunByWords, text, sink, block, blockSize);
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
