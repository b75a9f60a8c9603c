// Checks the built plug-in DLL's exports, imports, version resource and
// timestamp without loading it, plus the PE reader itself on a synthetic
// image and on corrupted copies of it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <string>
#include <vector>

#include "../support/pe_file.h"

namespace tamarisk::test {
namespace {

bool StartsWith(const std::string& s, const std::string& prefix) {
  return s.compare(0, prefix.size(), prefix) == 0;
}

std::string Lower(std::string s) {
  for (char& c : s)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// ---------------------------------------------------------------------------
// The real DLL, named by TAMARISK_DLL.

class TamariskDll : public ::testing::Test {
 protected:
  // Read once for the whole suite; each test fails with the reason if the
  // file could not be read.
  static void SetUpTestSuite() {
    const char* path = std::getenv("TAMARISK_DLL");
    if (!path || !*path) {
      error_ = "TAMARISK_DLL is not set; point it at the built TAMARISK.x32";
      return;
    }
    std::string err;
    loaded_ = ReadPeFileFromPath(path, &dll_, &err);
    if (!loaded_)
      error_ = "cannot read TAMARISK_DLL=" + std::string(path) +
               " as a PE32 DLL: " + err;
  }
  void SetUp() override {
    if (!loaded_) GTEST_FAIL() << error_;
  }

  static inline PeFile dll_;
  static inline bool loaded_ = false;
  static inline std::string error_;
};

TEST_F(TamariskDll, ExportDllName) {
  EXPECT_EQ(dll_.exportDllName, "TAMARISK.x32");
}

TEST_F(TamariskDll, ExportNames) {
  std::vector<std::string> names = dll_.exportNames;
  std::sort(names.begin(), names.end());
  const std::vector<std::string> want = {
      "DllCanUnloadNow", "DllGetClassForm", "DllGetClassInfo",
      "DllGetClassObject", "DllGetInterface"};
  EXPECT_EQ(names, want);
  for (const std::string& n : names)
    EXPECT_TRUE(n.find('@') == std::string::npos) << "decorated export: " << n;
}

TEST_F(TamariskDll, ImportsOnlySystemDlls) {
  // The host only ships Windows itself; any MinGW runtime DLL must be linked
  // in statically.
  const std::vector<std::string> allowed = {
      "kernel32.dll", "user32.dll", "comdlg32.dll", "msvcrt.dll",
      "advapi32.dll", "gdi32.dll",  "shell32.dll",  "ole32.dll"};
  EXPECT_FALSE(dll_.importDllNames.empty());
  for (const std::string& name : dll_.importDllNames) {
    const std::string n = Lower(name);
    const bool ok =
        std::find(allowed.begin(), allowed.end(), n) != allowed.end() ||
        (StartsWith(n, "api-ms-win-crt-") && n.size() > 4 &&
         n.compare(n.size() - 4, 4, ".dll") == 0);
    EXPECT_TRUE(ok) << "imports a non-system DLL: " << name;
    for (const char* runtime : {"libgcc_s", "libstdc++", "libwinpthread"})
      EXPECT_FALSE(StartsWith(n, runtime))
          << "imports a MinGW runtime DLL: " << name;
  }
}

TEST_F(TamariskDll, VersionResource) {
  ASSERT_TRUE(dll_.hasVersion) << "no RT_VERSION resource";
  EXPECT_EQ(dll_.fileVersionMS, 0x00010003u);
  EXPECT_EQ(dll_.fileVersionLS, 0x00000000u);
  EXPECT_EQ(dll_.productVersionMS, 0x00010003u);
  EXPECT_EQ(dll_.productVersionLS, 0x00000000u);
  auto table = dll_.versionStrings.find("041104b0");
  ASSERT_NE(table, dll_.versionStrings.end())
      << "no string table 041104b0";
  const auto& strings = table->second;
  auto fv = strings.find("FileVersion");
  auto pv = strings.find("ProductVersion");
  ASSERT_NE(fv, strings.end());
  ASSERT_NE(pv, strings.end());
  EXPECT_EQ(fv->second, "1, 3, 0, 0");
  EXPECT_EQ(pv->second, "1, 3, 0, 0");
  const std::pair<uint16_t, uint16_t> japaneseUnicode(0x0411, 0x04b0);
  EXPECT_NE(std::find(dll_.translations.begin(), dll_.translations.end(),
                      japaneseUnicode),
            dll_.translations.end())
      << "no Translation 0x0411/0x04b0";
}

TEST_F(TamariskDll, TimeDateStampIsZero) {
  // Reproducible builds: the linker must not stamp the build time.
  EXPECT_EQ(dll_.timeDateStamp, 0u);
}

// ---------------------------------------------------------------------------
// A small hand-made PE32 DLL, so the reader is tested on known content and
// can be corrupted at known places.

class Blob {
 public:
  explicit Blob(uint32_t baseRva) : base_(baseRva) {}
  uint32_t Rva() const { return base_ + static_cast<uint32_t>(bytes.size()); }
  size_t Off() const { return bytes.size(); }
  void Align(size_t a) {
    while (bytes.size() % a) bytes.push_back(0);
  }
  void Zero(size_t n) { bytes.insert(bytes.end(), n, 0); }
  size_t U16(uint16_t v) {
    const size_t at = bytes.size();
    bytes.push_back(static_cast<uint8_t>(v));
    bytes.push_back(static_cast<uint8_t>(v >> 8));
    return at;
  }
  size_t U32(uint32_t v) {
    const size_t at = bytes.size();
    U16(static_cast<uint16_t>(v));
    U16(static_cast<uint16_t>(v >> 16));
    return at;
  }
  uint32_t Str(const std::string& s) {
    const uint32_t rva = Rva();
    bytes.insert(bytes.end(), s.begin(), s.end());
    bytes.push_back(0);
    return rva;
  }
  void Put16(size_t at, uint16_t v) {
    bytes[at] = static_cast<uint8_t>(v);
    bytes[at + 1] = static_cast<uint8_t>(v >> 8);
  }
  void Put32(size_t at, uint32_t v) {
    Put16(at, static_cast<uint16_t>(v));
    Put16(at + 2, static_cast<uint16_t>(v >> 16));
  }
  std::vector<uint8_t> bytes;

 private:
  uint32_t base_;
};

std::vector<uint8_t> Utf16(const std::u16string& s) {
  std::vector<uint8_t> out;
  for (char16_t c : s) {
    out.push_back(static_cast<uint8_t>(c));
    out.push_back(static_cast<uint8_t>(c >> 8));
  }
  return out;
}

// One version-info node: header, key, padding, value, padded children.
std::vector<uint8_t> VersionNode(
    const std::u16string& key, uint16_t type, uint16_t valueLength,
    const std::vector<uint8_t>& value,
    const std::vector<std::vector<uint8_t>>& children = {}) {
  Blob b(0);
  b.Zero(6);
  const std::vector<uint8_t> k = Utf16(key + u'\0');
  b.bytes.insert(b.bytes.end(), k.begin(), k.end());
  b.Align(4);
  b.bytes.insert(b.bytes.end(), value.begin(), value.end());
  for (const auto& child : children) {
    b.Align(4);
    b.bytes.insert(b.bytes.end(), child.begin(), child.end());
  }
  b.Put16(0, static_cast<uint16_t>(b.bytes.size()));
  b.Put16(2, valueLength);
  b.Put16(4, type);
  return b.bytes;
}

std::vector<uint8_t> VersionString(const std::u16string& key,
                                   const std::u16string& value) {
  return VersionNode(key, 1, static_cast<uint16_t>(value.size() + 1),
                     Utf16(value + u'\0'));
}

constexpr uint32_t kSectionRva = 0x1000;
constexpr uint32_t kSectionFileOffset = 0x200;

struct Sample {
  std::vector<uint8_t> bytes;
  // File offsets of fields the corruption tests overwrite.
  size_t numSections = 0;
  size_t optHeaderSize = 0;
  size_t optMagic = 0;
  size_t exportDirRva = 0;
  size_t sectionRawPtr = 0;
  size_t sectionVa = 0;
  size_t exportNumNames = 0;
  size_t exportFirstName = 0;
  size_t importFirstDllName = 0;
  size_t importFirstThunk = 0;
  size_t resourceTypeEntry = 0;
  size_t resourceDataSize = 0;
  size_t versionRoot = 0;
  size_t versionFirstString = 0;
};

Sample BuildSample() {
  Sample s;
  Blob sec(kSectionRva);
  auto fileOff = [](size_t secOff) { return kSectionFileOffset + secOff; };

  // Exports.
  const size_t exp = sec.Off();
  const uint32_t expRva = sec.Rva();
  sec.Zero(40);
  const uint32_t dllName = sec.Str("SAMPLE.dll");
  const uint32_t alpha = sec.Str("Alpha");
  const uint32_t beta = sec.Str("Beta");
  sec.Align(4);
  const uint32_t funcs = sec.Rva();
  sec.U32(kSectionRva);
  sec.U32(kSectionRva);
  const uint32_t names = sec.Rva();
  const size_t firstName = sec.U32(alpha);
  sec.U32(beta);
  const uint32_t ords = sec.Rva();
  sec.U16(0);
  sec.U16(1);
  sec.Put32(exp + 12, dllName);
  sec.Put32(exp + 16, 1);
  sec.Put32(exp + 20, 2);
  sec.Put32(exp + 24, 2);
  sec.Put32(exp + 28, funcs);
  sec.Put32(exp + 32, names);
  sec.Put32(exp + 36, ords);
  s.exportNumNames = fileOff(exp + 24);
  s.exportFirstName = fileOff(firstName);

  // Imports: KERNEL32 by name and by ordinal, USER32 by name.
  sec.Align(4);
  const uint32_t impRva = sec.Rva();
  const size_t imp = sec.Off();
  sec.Zero(60);
  auto hintName = [&](const std::string& n) {
    sec.Align(2);
    const uint32_t rva = sec.Rva();
    sec.U16(0);
    sec.Str(n);
    return rva;
  };
  const uint32_t k32 = sec.Str("KERNEL32.dll");
  const uint32_t u32 = sec.Str("USER32.dll");
  const uint32_t tick = hintName("GetTickCount");
  const uint32_t box = hintName("MessageBoxA");
  sec.Align(4);
  const uint32_t k32Ilt = sec.Rva();
  const size_t k32FirstThunk = sec.U32(tick);
  sec.U32(0x80000005u);
  sec.U32(0);
  const uint32_t k32Iat = sec.Rva();
  sec.U32(tick);
  sec.U32(0x80000005u);
  sec.U32(0);
  const uint32_t u32Ilt = sec.Rva();
  sec.U32(box);
  sec.U32(0);
  const uint32_t u32Iat = sec.Rva();
  sec.U32(box);
  sec.U32(0);
  sec.Put32(imp + 0, k32Ilt);
  sec.Put32(imp + 12, k32);
  sec.Put32(imp + 16, k32Iat);
  sec.Put32(imp + 20, u32Ilt);
  sec.Put32(imp + 32, u32);
  sec.Put32(imp + 36, u32Iat);
  s.importFirstDllName = fileOff(imp + 12);
  s.importFirstThunk = fileOff(k32FirstThunk);

  // Resources: RT_VERSION / 1 / 0x0411 -> data entry -> version info.
  sec.Align(4);
  const uint32_t resRva = sec.Rva();
  const size_t res = sec.Off();
  auto resDir = [&](uint32_t id, uint32_t target) {
    sec.Zero(14);
    sec.U16(1);
    const size_t entry = sec.U32(id);
    sec.U32(target);
    return entry;
  };
  // Each directory is 24 bytes, so the next one's offset is known ahead.
  const size_t typeEntry = resDir(16, 0x80000000u | 24);
  resDir(1, 0x80000000u | 48);
  resDir(0x0411, 72);
  const size_t dataEntry = sec.Off();
  EXPECT_EQ(dataEntry - res, 72u);
  sec.Zero(16);
  sec.Align(4);

  std::vector<uint8_t> fixed;
  {
    Blob f(0);
    f.U32(0xFEEF04BDu);
    f.U32(0x00010000u);
    f.U32(0x00010003u);  // File version 1.3.0.7.
    f.U32(0x00000007u);
    f.U32(0x00010003u);  // Product version 1.3.0.9.
    f.U32(0x00000009u);
    f.Zero(28);
    fixed = f.bytes;
  }
  std::vector<uint8_t> translation;
  {
    Blob t(0);
    t.U16(0x0411);
    t.U16(0x04b0);
    t.U16(0x0409);
    t.U16(0x04e4);
    translation = t.bytes;
  }
  // Key lengths are chosen so that both padded and unpadded layouts occur.
  const std::vector<uint8_t> strings = VersionNode(
      u"041104b0", 1, 0, {},
      {VersionString(u"FileVersion", u"1, 3, 0, 7"),
       VersionString(u"PV", u"1, 3, 0, 9"),
       VersionString(u"Comments", u"\u65e5\u672c\U0001F600"),
       VersionString(u"Empty", u"")});
  const std::vector<uint8_t> root = VersionNode(
      u"VS_VERSION_INFO", 0, static_cast<uint16_t>(fixed.size()), fixed,
      {VersionNode(u"StringFileInfo", 1, 0, {}, {strings}),
       VersionNode(u"Unknown", 1, 0, {}),
       VersionNode(u"VarFileInfo", 1, 0, {},
                   {VersionNode(u"Translation", 0,
                                static_cast<uint16_t>(translation.size()),
                                translation)})});
  const uint32_t versionRva = sec.Rva();
  s.versionRoot = fileOff(sec.Off());
  // Past root header+key+fixed info, StringFileInfo header+key, table
  // header+key: where the first String starts.
  s.versionFirstString = s.versionRoot + 40 + 52 + 36 + 24;
  sec.bytes.insert(sec.bytes.end(), root.begin(), root.end());
  sec.Put32(dataEntry, versionRva);
  sec.Put32(dataEntry + 4, static_cast<uint32_t>(root.size()));
  s.resourceTypeEntry = fileOff(typeEntry);
  s.resourceDataSize = fileOff(dataEntry + 4);

  // Headers: DOS stub, PE signature, COFF, PE32 optional header, 1 section.
  Blob h(0);
  h.U16(0x5A4D);
  h.Zero(0x3A);
  h.U32(0x40);
  h.U32(0x00004550);
  h.U16(0x014C);
  s.numSections = h.U16(1);
  h.U32(0x12345678);  // TimeDateStamp.
  h.U32(0);
  h.U32(0);
  s.optHeaderSize = h.U16(224);
  h.U16(0x2102);
  const size_t opt = h.Off();
  s.optMagic = h.U16(0x10B);
  h.Zero(26);
  h.U32(0x10000000);  // ImageBase.
  h.U32(0x1000);
  h.U32(0x200);
  h.Zero(16);
  h.U32(0x2000);  // SizeOfImage.
  h.U32(0x200);   // SizeOfHeaders.
  h.U32(0);
  h.U16(2);
  h.U16(0);
  h.Zero(20);
  h.U32(16);
  EXPECT_EQ(h.Off() - opt, 96u);
  s.exportDirRva = h.U32(expRva);
  h.U32(40);
  h.U32(impRva);
  h.U32(60);
  h.U32(resRva);
  h.U32(static_cast<uint32_t>(sec.bytes.size() - res));
  h.Zero(13 * 8);
  EXPECT_EQ(h.Off() - opt, 224u);
  h.Str(".rdata");
  h.Zero(1);
  h.U32(static_cast<uint32_t>(sec.bytes.size()));  // VirtualSize.
  s.sectionVa = h.U32(kSectionRva);
  h.U32(static_cast<uint32_t>(sec.bytes.size()));  // SizeOfRawData.
  s.sectionRawPtr = h.U32(kSectionFileOffset);
  h.Zero(12);
  h.U32(0x40000040);
  h.Zero(kSectionFileOffset - h.Off());

  s.bytes = h.bytes;
  s.bytes.insert(s.bytes.end(), sec.bytes.begin(), sec.bytes.end());
  return s;
}

void Put32(std::vector<uint8_t>* b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i)
    (*b)[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
void Put16(std::vector<uint8_t>* b, size_t at, uint16_t v) {
  (*b)[at] = static_cast<uint8_t>(v);
  (*b)[at + 1] = static_cast<uint8_t>(v >> 8);
}

// Expects ReadPeFile to reject `bytes`, and returns its error message.
std::string Rejected(const std::vector<uint8_t>& bytes) {
  PeFile pe;
  std::string err;
  EXPECT_FALSE(ReadPeFile(bytes, &pe, &err));
  EXPECT_FALSE(err.empty());
  return err;
}

TEST(ReadPeFile, ReadsSyntheticImage) {
  const Sample s = BuildSample();
  PeFile pe;
  std::string err;
  ASSERT_TRUE(ReadPeFile(s.bytes, &pe, &err)) << err;
  EXPECT_EQ(pe.timeDateStamp, 0x12345678u);
  EXPECT_EQ(pe.exportDllName, "SAMPLE.dll");
  EXPECT_EQ(pe.exportNames, (std::vector<std::string>{"Alpha", "Beta"}));
  EXPECT_EQ(pe.importDllNames,
            (std::vector<std::string>{"KERNEL32.dll", "USER32.dll"}));
  EXPECT_EQ(pe.importedFunctions,
            (std::vector<std::string>{"KERNEL32.dll!GetTickCount",
                                      "USER32.dll!MessageBoxA"}));
  ASSERT_TRUE(pe.hasVersion);
  EXPECT_EQ(pe.fileVersionMS, 0x00010003u);
  EXPECT_EQ(pe.fileVersionLS, 7u);
  EXPECT_EQ(pe.productVersionMS, 0x00010003u);
  EXPECT_EQ(pe.productVersionLS, 9u);
  ASSERT_EQ(pe.versionStrings.size(), 1u);
  const auto& t = pe.versionStrings["041104b0"];
  EXPECT_EQ(t.size(), 4u);
  EXPECT_EQ(t.at("FileVersion"), "1, 3, 0, 7");
  EXPECT_EQ(t.at("PV"), "1, 3, 0, 9");
  EXPECT_EQ(t.at("Comments"), "\xe6\x97\xa5\xe6\x9c\xac\xf0\x9f\x98\x80");
  EXPECT_EQ(t.at("Empty"), "");
  const std::vector<std::pair<uint16_t, uint16_t>> tr = {{0x0411, 0x04b0},
                                                         {0x0409, 0x04e4}};
  EXPECT_EQ(pe.translations, tr);
}

TEST(ReadPeFile, NoVersionResourceIsNotAnError) {
  Sample s = BuildSample();
  Put32(&s.bytes, s.resourceTypeEntry, 3);  // RT_ICON instead of RT_VERSION.
  PeFile pe;
  std::string err;
  ASSERT_TRUE(ReadPeFile(s.bytes, &pe, &err)) << err;
  EXPECT_FALSE(pe.hasVersion);
  EXPECT_TRUE(pe.versionStrings.empty());
  EXPECT_EQ(pe.exportNames.size(), 2u);
}

TEST(ReadPeFile, RejectsEmptyAndTiny) {
  Rejected({});
  Rejected({'M'});
  Rejected({'M', 'Z'});
  std::vector<uint8_t> dosOnly(64, 0);
  dosOnly[0] = 'M';
  dosOnly[1] = 'Z';
  Rejected(dosOnly);
}

TEST(ReadPeFile, RejectsMissingSignatures) {
  Sample s = BuildSample();
  std::vector<uint8_t> b = s.bytes;
  b[0] = 'X';
  Rejected(b);
  b = s.bytes;
  b[0x41] = 'X';  // "PE\0\0" -> "PX\0\0".
  Rejected(b);
  b = s.bytes;
  Put16(&b, s.optMagic, 0x20B);  // PE32+ is not read.
  Rejected(b);
}

TEST(ReadPeFile, RejectsEveryTruncation) {
  const Sample s = BuildSample();
  // Everything up to the last byte is needed (the version data ends the
  // file), so every shorter prefix must be refused.
  for (size_t n = 0; n < s.bytes.size(); ++n) {
    const std::vector<uint8_t> b(s.bytes.begin(), s.bytes.begin() + n);
    PeFile pe;
    std::string err;
    EXPECT_FALSE(ReadPeFile(b, &pe, &err)) << "prefix of " << n << " bytes";
  }
}

TEST(ReadPeFile, RejectsBogusHeaderOffsets) {
  const Sample s = BuildSample();
  std::vector<uint8_t> b = s.bytes;
  Put32(&b, 0x3C, 0xFFFFFFF0u);
  Rejected(b);
  b = s.bytes;
  Put32(&b, 0x3C, static_cast<uint32_t>(b.size() - 2));
  Rejected(b);
  b = s.bytes;
  Put16(&b, s.numSections, 0xFFFF);
  Rejected(b);
  b = s.bytes;
  Put16(&b, s.optHeaderSize, 0xFFFF);
  Rejected(b);
  b = s.bytes;
  Put16(&b, s.optHeaderSize, 8);
  Rejected(b);
  b = s.bytes;
  Put32(&b, s.sectionRawPtr, 0xFFFFFF00u);
  Rejected(b);
  b = s.bytes;
  Put32(&b, s.sectionVa, 0x7FFF0000u);
  Rejected(b);
}

TEST(ReadPeFile, RejectsBogusDirectoryOffsets) {
  const Sample s = BuildSample();
  std::vector<uint8_t> b = s.bytes;
  Put32(&b, s.exportDirRva, 0xFFFFFFF0u);
  Rejected(b);
  b = s.bytes;
  Put32(&b, s.exportNumNames, 0x40000000u);
  Rejected(b);
  b = s.bytes;
  Put32(&b, s.exportFirstName, 0xFFFFFFFFu);
  Rejected(b);
  b = s.bytes;
  Put32(&b, s.importFirstDllName, 0x7FFFFFFFu);
  Rejected(b);
  b = s.bytes;
  Put32(&b, s.importFirstThunk, 0x7FFFFFF0u);
  Rejected(b);
  b = s.bytes;
  Put32(&b, s.resourceTypeEntry + 4, 0x80000000u | 0x7FFFFFF0u);
  Rejected(b);
  b = s.bytes;
  // A directory that points back at itself must not loop.
  Put32(&b, s.resourceTypeEntry + 4, 0x80000000u);
  Rejected(b);
  b = s.bytes;
  Put32(&b, s.resourceDataSize, 0xFFFFFFFFu);
  Rejected(b);
}

TEST(ReadPeFile, RejectsBadVersionBlocks) {
  const Sample s = BuildSample();
  std::vector<uint8_t> b = s.bytes;
  Put16(&b, s.versionRoot, 0xFFFF);  // Longer than the resource.
  Rejected(b);
  b = s.bytes;
  Put16(&b, s.versionRoot, 4);  // Shorter than a block header.
  Rejected(b);
  b = s.bytes;
  b[s.versionRoot + 40] ^= 0xFF;  // VS_FIXEDFILEINFO signature.
  Rejected(b);
  b = s.bytes;
  Put16(&b, s.versionFirstString, 0x7FFF);  // Overruns its table.
  Rejected(b);
  b = s.bytes;
  b[s.versionRoot + 6] = 'X';  // Root key is no longer VS_VERSION_INFO.
  Rejected(b);
}

TEST(ReadPeFile, SurvivesCorruptionOfAnyByte) {
  // Only "no crash" is checked (run under sanitizers): many single-byte
  // changes still leave a readable image.
  const Sample s = BuildSample();
  for (size_t i = 0; i < s.bytes.size(); ++i) {
    for (uint8_t v : {uint8_t{0x00}, uint8_t{0x7F}, uint8_t{0x80},
                      uint8_t{0xFF}}) {
      std::vector<uint8_t> b = s.bytes;
      b[i] = v;
      PeFile pe;
      std::string err;
      ReadPeFile(b, &pe, &err);
    }
  }
}

TEST(ReadPeFile, MissingFileIsAnError) {
  PeFile pe;
  std::string err;
  EXPECT_FALSE(ReadPeFileFromPath("/nonexistent/TAMARISK.x32", &pe, &err));
  EXPECT_NE(err.find("/nonexistent/TAMARISK.x32"), std::string::npos) << err;
}

}  // namespace
}  // namespace tamarisk::test
