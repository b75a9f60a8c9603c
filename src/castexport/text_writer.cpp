#include <cstddef>
#include <cstdint>
#include <cstring>

#include "castexport/media_writers.h"
#include "castexport/member_properties.h"
#include "castexport/output_file.h"
#include "module/scripting_class.h"

namespace tamarisk {

namespace {

// The scan reads the text a machine word at a time.
using Word = std::uintptr_t;
using AliasedWord __attribute__((may_alias)) = Word;
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the first byte is the lowest of a word");

constexpr Word kOnes = ~Word{0} / 0xFF;
constexpr Word kLow7 = kOnes * 0x7F;

// In each byte of the result the high bit tells whether that byte of w is
// not zero (the low bits mean nothing). Exact for every byte: no carry
// crosses into the next byte, so no byte is judged by its neighbour.
constexpr Word NonZeroBytes(Word w) { return ((w & kLow7) + kLow7) | w; }

// The high bit of each byte that ends a run: NUL, CR or LF.
constexpr Word RunEnds(Word w) {
  return ~((NonZeroBytes(w) & NonZeroBytes(w ^ (kOnes * '\r')) & NonZeroBytes(w ^ (kOnes * '\n'))) | kLow7);
}

// The first NUL, CR or LF at or after p. Only whole aligned words are read:
// such a word never reaches into another page, so the few bytes it takes
// in before p or after the terminating NUL can always be read, though they
// are not the string's; the address sanitizer is told so.
__attribute__((no_sanitize("address"))) const char* FindRunEnd(const char* p) {
  const std::size_t skip = reinterpret_cast<std::uintptr_t>(p) % sizeof(Word);
  const char* word = p - skip;
  Word ends = RunEnds(*reinterpret_cast<const AliasedWord*>(word)) & (~Word{0} << (8 * skip));
  while (ends == 0) {
    word += sizeof(Word);
    ends = RunEnds(*reinterpret_cast<const AliasedWord*>(word));
  }
  return word + __builtin_ctzll(ends) / 8;
}

// Gathers short pieces into blocks: one stream call per line end costs more
// than the text. A piece as long as a block goes to the stream directly.
class BlockWriter {
 public:
  explicit BlockWriter(OutputFile& file) : file_(file) {}
  ~BlockWriter() { Flush(); }
  BlockWriter(const BlockWriter&) = delete;
  BlockWriter& operator=(const BlockWriter&) = delete;

  void Put(const char* data, std::size_t size) {
    if (used_ + size > sizeof block_) {
      Flush();
      if (size >= sizeof block_) {
        file_.Write(data, size);
        return;
      }
    }
    std::memcpy(block_ + used_, data, size);
    used_ += size;
  }
  void Flush() {
    file_.Write(block_, used_);
    used_ = 0;
  }

 private:
  OutputFile& file_;
  char block_[16384];
  std::size_t used_ = 0;
};

}  // namespace

void WriteTextWithCrLf(const char* text, OutputFile& file) {
  BlockWriter out(file);
  const char* run = text;
  for (;;) {
    const char* end = FindRunEnd(run);
    out.Put(run, static_cast<std::size_t>(end - run));
    if (*end == '\0') return;
    // CR, CR LF and a lone LF alike end a line.
    out.Put("\r\n", 2);
    run = end + 1;
    if (*end == '\r' && *run == '\n') ++run;
  }
}

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
  WriteTextWithCrLf(text, file);
  file.Flush();
  return file.Close();
}

}  // namespace tamarisk
