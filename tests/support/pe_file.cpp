#include "pe_file.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>

namespace tamarisk::test {
namespace {

constexpr uint16_t kPe32Magic = 0x10B;
constexpr uint32_t kDirExport = 0;
constexpr uint32_t kDirImport = 1;
constexpr uint32_t kDirResource = 2;
constexpr uint32_t kResourceTypeVersion = 16;
constexpr uint32_t kResourceSubdirFlag = 0x80000000u;
constexpr uint32_t kFixedFileInfoSignature = 0xFEEF04BDu;
constexpr uint32_t kFixedFileInfoSize = 52;

std::string Hex(uint64_t v) {
  std::ostringstream s;
  s << "0x" << std::hex << v;
  return s.str();
}

void AppendUtf8(uint32_t cp, std::string* out) {
  if (cp < 0x80) {
    out->push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

std::string Utf16ToUtf8(const std::vector<uint16_t>& units) {
  std::string out;
  for (size_t i = 0; i < units.size(); ++i) {
    uint32_t u = units[i];
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units.size() &&
        units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
      u = 0x10000 + ((u - 0xD800) << 10) + (units[i + 1] - 0xDC00);
      ++i;
    } else if (u >= 0xD800 && u <= 0xDFFF) {
      u = 0xFFFD;  // Lone surrogate: keep the output valid UTF-8.
    }
    AppendUtf8(u, &out);
  }
  return out;
}

// Little-endian reads that refuse to go past the end of the buffer.
class Bytes {
 public:
  explicit Bytes(const std::vector<uint8_t>& b) : b_(b) {}
  uint64_t size() const { return b_.size(); }
  bool U16(uint64_t off, uint16_t* v) const {
    if (off > size() || size() - off < 2) return false;
    const uint8_t* p = Ptr(off);
    *v = static_cast<uint16_t>(p[0] | (p[1] << 8));
    return true;
  }
  bool U32(uint64_t off, uint32_t* v) const {
    if (off > size() || size() - off < 4) return false;
    const uint8_t* p = Ptr(off);
    *v = static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
    return true;
  }
  // Callers have checked off < size(), so it fits in size_t.
  uint8_t At(uint64_t off) const { return *Ptr(off); }
  const uint8_t* Ptr(uint64_t off) const {
    return b_.data() + static_cast<size_t>(off);
  }

 private:
  const std::vector<uint8_t>& b_;
};

struct Section {
  uint32_t va;
  uint32_t extent;  // Bytes of the section that come from the file.
  uint32_t rawPtr;
};

struct DataDir {
  uint32_t rva = 0;
  uint32_t size = 0;
};

class Parser {
 public:
  Parser(const std::vector<uint8_t>& bytes, PeFile* out)
      : bytes_(bytes), data_(bytes), out_(out) {}

  bool Run() {
    return Headers() && Exports() && Imports() && Resources();
  }
  const std::string& error() const { return error_; }

 private:
  bool Fail(const std::string& msg) {
    error_ = msg;
    return false;
  }

  bool Headers() {
    uint16_t mz = 0;
    if (!data_.U16(0, &mz) || mz != 0x5A4D) return Fail("no MZ header");
    uint32_t peOff = 0;
    if (!data_.U32(0x3C, &peOff)) return Fail("truncated DOS header");
    uint32_t sig = 0;
    if (!data_.U32(peOff, &sig) || sig != 0x00004550)
      return Fail("no PE signature at " + Hex(peOff));
    const uint64_t coff = uint64_t{peOff} + 4;
    uint16_t numSections = 0, optSize = 0;
    if (!data_.U16(coff + 2, &numSections) ||
        !data_.U32(coff + 4, &out_->timeDateStamp) ||
        !data_.U16(coff + 16, &optSize))
      return Fail("truncated COFF header");
    const uint64_t opt = coff + 20;
    uint16_t magic = 0;
    if (!data_.U16(opt, &magic)) return Fail("truncated optional header");
    if (magic != kPe32Magic) return Fail("not PE32, magic " + Hex(magic));
    uint32_t numDirs = 0;
    if (optSize < 96 || !data_.U32(opt + 60, &sizeOfHeaders_) ||
        !data_.U32(opt + 92, &numDirs))
      return Fail("truncated optional header");
    numDirs = std::min<uint32_t>(numDirs, (optSize - 96u) / 8u);
    for (uint32_t i = 0; i < numDirs && i < 16; ++i) {
      if (!data_.U32(opt + 96 + 8 * i, &dirs_[i].rva) ||
          !data_.U32(opt + 100 + 8 * i, &dirs_[i].size))
        return Fail("truncated data directories");
    }
    const uint64_t table = opt + optSize;
    for (uint32_t i = 0; i < numSections; ++i) {
      const uint64_t s = table + 40ull * i;
      uint32_t vsize = 0, va = 0, rawSize = 0, rawPtr = 0;
      if (!data_.U32(s + 8, &vsize) || !data_.U32(s + 12, &va) ||
          !data_.U32(s + 16, &rawSize) || !data_.U32(s + 20, &rawPtr))
        return Fail("truncated section table");
      // Bytes past VirtualSize are not mapped; VirtualSize 0 means "raw size".
      const uint32_t extent = vsize ? std::min(vsize, rawSize) : rawSize;
      sections_.push_back({va, extent, rawPtr});
    }
    return true;
  }

  // Maps an RVA to a file offset and how many bytes may be read from there
  // without leaving the section (or the file).
  bool Map(uint64_t rva, uint64_t* off, uint64_t* avail) const {
    if (rva > 0xFFFFFFFFull) return false;
    uint64_t o = 0, a = 0;
    bool found = false;
    for (const Section& s : sections_) {
      if (rva >= s.va && rva - s.va < s.extent) {
        o = uint64_t{s.rawPtr} + (rva - s.va);
        a = s.extent - (rva - s.va);
        found = true;
        break;
      }
    }
    if (!found && rva < sizeOfHeaders_) {
      o = rva;
      a = sizeOfHeaders_ - rva;
      found = true;
    }
    if (!found || o >= data_.size()) return false;
    *off = o;
    *avail = std::min(a, data_.size() - o);
    return true;
  }

  bool U16At(uint64_t rva, uint16_t* v) const {
    uint64_t off = 0, avail = 0;
    return Map(rva, &off, &avail) && avail >= 2 && data_.U16(off, v);
  }
  bool U32At(uint64_t rva, uint32_t* v) const {
    uint64_t off = 0, avail = 0;
    return Map(rva, &off, &avail) && avail >= 4 && data_.U32(off, v);
  }
  bool CStringAt(uint64_t rva, std::string* s) const {
    uint64_t off = 0, avail = 0;
    if (!Map(rva, &off, &avail)) return false;
    s->clear();
    for (uint64_t i = 0; i < avail; ++i) {
      const uint8_t c = data_.At(off + i);
      if (c == 0) return true;
      s->push_back(static_cast<char>(c));
    }
    return false;  // Unterminated within its section.
  }
  bool BytesAt(uint64_t rva, uint32_t size, std::vector<uint8_t>* v) const {
    uint64_t off = 0, avail = 0;
    if (!Map(rva, &off, &avail) || avail < size) return false;
    v->assign(bytes_.begin() + static_cast<std::ptrdiff_t>(off),
              bytes_.begin() + static_cast<std::ptrdiff_t>(off + size));
    return true;
  }

  bool Exports() {
    const DataDir& d = dirs_[kDirExport];
    if (d.rva == 0) return true;
    uint32_t nameRva = 0, numNames = 0, namesRva = 0;
    if (!U32At(uint64_t{d.rva} + 12, &nameRva) ||
        !U32At(uint64_t{d.rva} + 24, &numNames) ||
        !U32At(uint64_t{d.rva} + 32, &namesRva))
      return Fail("export directory at " + Hex(d.rva) + " is out of bounds");
    if (nameRva != 0 && !CStringAt(nameRva, &out_->exportDllName))
      return Fail("bad export DLL name at " + Hex(nameRva));
    if (numNames == 0) return true;
    uint64_t off = 0, avail = 0;
    // Checked up front so a bogus count cannot drive a huge allocation.
    if (!Map(namesRva, &off, &avail) || avail / 4 < numNames)
      return Fail("export name table at " + Hex(namesRva) + " is out of bounds");
    for (uint32_t i = 0; i < numNames; ++i) {
      uint32_t rva = 0;
      std::string name;
      if (!data_.U32(off + 4ull * i, &rva) || !CStringAt(rva, &name))
        return Fail("bad export name #" + std::to_string(i));
      out_->exportNames.push_back(std::move(name));
    }
    return true;
  }

  bool Imports() {
    const DataDir& d = dirs_[kDirImport];
    if (d.rva == 0) return true;
    for (uint64_t desc = d.rva;; desc += 20) {
      uint32_t lookup = 0, nameRva = 0, iat = 0;
      if (!U32At(desc, &lookup) || !U32At(desc + 12, &nameRva) ||
          !U32At(desc + 16, &iat))
        return Fail("import descriptor at " + Hex(desc) + " is out of bounds");
      if (nameRva == 0 && iat == 0) return true;  // Terminator.
      std::string dll;
      if (!CStringAt(nameRva, &dll))
        return Fail("bad import DLL name at " + Hex(nameRva));
      out_->importDllNames.push_back(dll);
      // The lookup table keeps names even if the IAT was bound on disk.
      for (uint64_t t = lookup ? lookup : iat;; t += 4) {
        uint32_t thunk = 0;
        if (!U32At(t, &thunk))
          return Fail("import thunks of " + dll + " run out of bounds");
        if (thunk == 0) break;
        if (thunk & 0x80000000u) continue;  // By ordinal: no name to report.
        std::string fn;
        if (!CStringAt(uint64_t{thunk} + 2, &fn))
          return Fail("bad import name of " + dll + " at " + Hex(thunk));
        out_->importedFunctions.push_back(dll + "!" + fn);
      }
    }
  }

  // Reads entry `index` (or the first ID entry equal to `id` when id >= 0)
  // of the resource directory at `dirOff` (relative to the resource root).
  bool ResourceEntry(uint32_t dirOff, int64_t id, bool* found,
                     uint32_t* target) {
    const uint64_t base = uint64_t{dirs_[kDirResource].rva} + dirOff;
    uint16_t named = 0, ids = 0;
    if (!U16At(base + 12, &named) || !U16At(base + 14, &ids))
      return Fail("resource directory at " + Hex(base) + " is out of bounds");
    *found = false;
    const uint32_t count = uint32_t{named} + ids;
    for (uint32_t i = 0; i < count; ++i) {
      uint32_t name = 0, data = 0;
      const uint64_t e = base + 16 + 8ull * i;
      if (!U32At(e, &name) || !U32At(e + 4, &data))
        return Fail("resource entry at " + Hex(e) + " is out of bounds");
      if (id < 0 || (!(name & kResourceSubdirFlag) && name == id)) {
        *found = true;
        *target = data;
        return true;
      }
    }
    return true;
  }

  bool Resources() {
    const DataDir& d = dirs_[kDirResource];
    if (d.rva == 0) return true;
    // Fixed depth (type, name, language) so a self-referencing tree cannot
    // loop.
    bool found = false;
    uint32_t typeDir = 0, nameDir = 0, leaf = 0;
    if (!ResourceEntry(0, kResourceTypeVersion, &found, &typeDir)) return false;
    if (!found) return true;
    if (!(typeDir & kResourceSubdirFlag))
      return Fail("RT_VERSION entry is not a directory");
    if (!ResourceEntry(typeDir & ~kResourceSubdirFlag, -1, &found, &nameDir))
      return false;
    if (!found) return true;
    if (!(nameDir & kResourceSubdirFlag))
      return Fail("version name entry is not a directory");
    if (!ResourceEntry(nameDir & ~kResourceSubdirFlag, -1, &found, &leaf))
      return false;
    if (!found) return true;
    if (leaf & kResourceSubdirFlag)
      return Fail("version language entry is not a data entry");
    uint32_t dataRva = 0, dataSize = 0;
    const uint64_t entry = uint64_t{d.rva} + leaf;
    if (!U32At(entry, &dataRva) || !U32At(entry + 4, &dataSize))
      return Fail("version data entry is out of bounds");
    std::vector<uint8_t> v;
    if (!BytesAt(dataRva, dataSize, &v))
      return Fail("version data at " + Hex(dataRva) + " is out of bounds");
    return VersionInfo(v);
  }

  // One node of the version-info tree; offsets are relative to the start of
  // the resource data, which is what the 32-bit padding is measured from.
  struct Block {
    uint64_t end = 0;
    uint16_t valueLength = 0;
    uint16_t type = 0;
    std::string key;
    uint64_t value = 0;     // Start of the value (after key padding).
    uint64_t children = 0;  // Start of the first child.
  };

  static uint64_t Align4(uint64_t x) { return (x + 3) & ~uint64_t{3}; }

  bool ParseBlock(const Bytes& v, uint64_t pos, uint64_t limit, Block* b) {
    uint16_t len = 0;
    if (!v.U16(pos, &len) || !v.U16(pos + 2, &b->valueLength) ||
        !v.U16(pos + 4, &b->type))
      return Fail("truncated version block at " + Hex(pos));
    if (len < 6 || pos + len > limit)
      return Fail("version block at " + Hex(pos) + " has bad length " +
                  Hex(len));
    b->end = pos + len;
    std::vector<uint16_t> key;
    uint64_t p = pos + 6;
    for (;; p += 2) {
      uint16_t c = 0;
      if (p + 2 > b->end || !v.U16(p, &c))
        return Fail("unterminated version key at " + Hex(pos));
      if (c == 0) break;
      key.push_back(c);
    }
    b->key = Utf16ToUtf8(key);
    b->value = std::min(Align4(p + 2), b->end);
    // Text values count UTF-16 units, binary ones count bytes.
    const uint64_t valueBytes =
        uint64_t{b->valueLength} * (b->type == 1 ? 2 : 1);
    b->children = std::min(Align4(b->value + valueBytes), b->end);
    return true;
  }

  // Calls fn(child) for each child block of `parent`.
  template <typename Fn>
  bool Children(const Bytes& v, const Block& parent, Fn fn) {
    for (uint64_t pos = parent.children; pos + 6 <= parent.end;) {
      uint16_t len = 0;
      if (!v.U16(pos, &len)) return Fail("truncated version block");
      if (len == 0) break;  // Trailing zero padding.
      Block child;
      if (!ParseBlock(v, pos, parent.end, &child) || !fn(child)) return false;
      pos = Align4(child.end);
    }
    return true;
  }

  bool VersionInfo(const std::vector<uint8_t>& raw) {
    const Bytes v(raw);
    Block root;
    if (!ParseBlock(v, 0, v.size(), &root)) return false;
    if (root.key != "VS_VERSION_INFO")
      return Fail("version resource key is '" + root.key + "'");
    // The root's value is VS_FIXEDFILEINFO, always measured in bytes.
    root.children = std::min(Align4(root.value + root.valueLength), root.end);
    if (root.valueLength != 0) {
      uint32_t sig = 0;
      if (root.valueLength < kFixedFileInfoSize ||
          root.value + kFixedFileInfoSize > root.end ||
          !v.U32(root.value, &sig) || sig != kFixedFileInfoSignature)
        return Fail("bad VS_FIXEDFILEINFO");
      v.U32(root.value + 8, &out_->fileVersionMS);
      v.U32(root.value + 12, &out_->fileVersionLS);
      v.U32(root.value + 16, &out_->productVersionMS);
      v.U32(root.value + 20, &out_->productVersionLS);
    }
    out_->hasVersion = true;
    return Children(v, root, [&](const Block& group) {
      if (group.key == "StringFileInfo") {
        return Children(v, group, [&](const Block& table) {
          auto& strings = out_->versionStrings[table.key];
          return Children(v, table, [&](const Block& str) {
            // The value runs to its NUL; its declared length is not trusted
            // because tools disagree on whether it counts bytes or chars.
            std::vector<uint16_t> units;
            for (uint64_t p = str.value; p + 2 <= str.end; p += 2) {
              uint16_t c = 0;
              v.U16(p, &c);
              if (c == 0) break;
              units.push_back(c);
            }
            strings[str.key] = Utf16ToUtf8(units);
            return true;
          });
        });
      }
      if (group.key == "VarFileInfo") {
        return Children(v, group, [&](const Block& var) {
          if (var.key != "Translation") return true;
          const uint64_t end =
              std::min<uint64_t>(var.value + var.valueLength, var.end);
          for (uint64_t p = var.value; p + 4 <= end; p += 4) {
            uint16_t lang = 0, cp = 0;
            v.U16(p, &lang);
            v.U16(p + 2, &cp);
            out_->translations.emplace_back(lang, cp);
          }
          return true;
        });
      }
      return true;  // Unknown groups are skipped, not fatal.
    });
  }

  const std::vector<uint8_t>& bytes_;
  Bytes data_;
  PeFile* out_;
  std::string error_;
  uint32_t sizeOfHeaders_ = 0;
  DataDir dirs_[16];
  std::vector<Section> sections_;
};

}  // namespace

bool ReadPeFile(const std::vector<uint8_t>& bytes, PeFile* out,
                std::string* error) {
  *out = PeFile{};
  Parser parser(bytes, out);
  if (parser.Run()) return true;
  if (error) *error = parser.error();
  return false;
}

bool ReadPeFileFromPath(const std::string& path, PeFile* out,
                        std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *out = PeFile{};
    if (error) *error = "cannot open " + path;
    return false;
  }
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                             std::istreambuf_iterator<char>());
  if (in.bad()) {
    *out = PeFile{};
    if (error) *error = "cannot read " + path;
    return false;
  }
  if (!ReadPeFile(bytes, out, error)) {
    if (error) *error = path + ": " + *error;
    return false;
  }
  return true;
}

}  // namespace tamarisk::test
