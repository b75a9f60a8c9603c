#include "tools/host/movie_file.h"

#include <fstream>
#include <set>
#include <sstream>
#include <type_traits>

#include <nlohmann/json.hpp>

#include "tools/host/text_encoding.h"

namespace tamarisk {
namespace cli {

namespace {

using nlohmann::json;

// The library's reader, except that a number beyond a double's range is a
// parse error with its place, like a syntax error, not an exception of its own.
class PlacedReader : public nlohmann::detail::json_sax_dom_parser<json> {
 public:
  using json_sax_dom_parser::json_sax_dom_parser;
  template <class Position, class Error>
  bool parse_error(const Position& at, const std::string&, const Error& e) {
    if constexpr (std::is_same<Error, json::parse_error>::value) {
      throw e;
    } else {
      const std::string what = e.what();
      throw json::parse_error::create(e.id, at, what.substr(what.find("] ") + 2), nullptr);
    }
  }
};

// A wrong value in the movie file, with the place it was found.
struct MovieError {
  std::string where;
  std::string what;
};

bool IsAbsolute(const std::string& path) {
  return (!path.empty() && (path[0] == '/' || path[0] == '\\')) ||
         (path.size() > 1 && path[1] == ':');
}

// Both in CP932.
std::string Resolve(const std::string& folder, const std::string& path) {
  if (IsAbsolute(path) || folder.empty()) return path;
  if (EndsWithSeparator(folder)) return folder + path;
  const std::size_t last = LastSeparator(folder);
  return folder + (last != std::string::npos ? folder[last] : '/') + path;
}

bool ReadBytes(const std::string& path, std::vector<uint8>* bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

class Reader {
 public:
  explicit Reader(const std::string& folder) : folder_(folder) {}

  void Movie(const json& root, MovieFile* movie) {
    Expect(root.is_object(), "", "expected an object with \"casts\"");
    Keys(root, "", {"basePath", "casts"});
    if (root.contains("basePath")) movie->basePath = String(root["basePath"], "basePath");
    Expect(root.contains("casts") && root["casts"].is_array(), "casts",
           "expected an array of casts");
    for (std::size_t c = 0; c < root["casts"].size(); ++c) {
      movie->casts.push_back(Cast(root["casts"][c], "casts[" + std::to_string(c) + "]"));
    }
  }

 private:
  void Expect(bool condition, const std::string& where, const std::string& what) {
    if (!condition) throw MovieError{where, what};
  }

  void Keys(const json& object, const std::string& where, std::set<std::string> allowed) {
    for (auto it = object.begin(); it != object.end(); ++it) {
      Expect(allowed.count(it.key()) != 0, where, "unknown key \"" + it.key() + "\"");
    }
  }

  // A host hands texts over NUL-terminated: none can carry one inside.
  std::string String(const json& value, const std::string& where) {
    Expect(value.is_string(), where, "expected a string");
    const std::string text = value.get<std::string>();
    Expect(text.find('\0') == std::string::npos, where, "the text contains a NUL character");
    return text;
  }

  // Whole, not wrapped: 4294967370 is not 74.
  bool Int32(const json& value, long long low, int32* out) {
    long long n = 0;
    if (value.is_number_unsigned()) {
      if (value.get<unsigned long long>() > 0x7FFFFFFF) return false;
      n = static_cast<long long>(value.get<unsigned long long>());
    } else if (value.is_number_integer()) {
      n = value.get<long long>();
    } else {
      return false;
    }
    if (n < low || n > 0x7FFFFFFF) return false;
    *out = static_cast<int32>(n);
    return true;
  }

  // Texts reach the module in its code page.
  std::string Text(const json& value, const std::string& where) {
    std::string converted;
    Expect(Utf8ToCp932(String(value, where), &converted), where,
           "the text has characters that CP932 lacks");
    return converted;
  }

  // A file beside the movie file, named in UTF-8 there and to the platform
  // in CP932.
  std::vector<uint8> MediaFile(const json& value, const std::string& where) {
    std::vector<uint8> bytes;
    Expect(ReadBytes(Resolve(folder_, Text(value, where)), &bytes), where,
           "cannot read " + String(value, where));
    return bytes;
  }

  sim::SimCast Cast(const json& cast, const std::string& where) {
    Expect(cast.is_object(), where, "expected an object with \"name\" and \"members\"");
    Keys(cast, where, {"name", "members"});
    sim::SimCast result;
    if (cast.contains("name")) result.name = Text(cast["name"], where + ".name");
    Expect(cast.contains("members") && cast["members"].is_array(), where + ".members",
           "expected an array of members");
    for (std::size_t m = 0; m < cast["members"].size(); ++m) {
      const std::string at = where + ".members[" + std::to_string(m) + "]";
      const json& member = cast["members"][m];
      Expect(member.is_object(), at, "expected an object");
      int32 number = 0;
      Expect(member.contains("number") && Int32(member["number"], 1, &number), at + ".number",
             "expected a member number from 1");
      Expect(result.members.count(number) == 0, at + ".number",
             "member " + std::to_string(number) + " appears twice");
      result.members[number] = Member(member, at);
    }
    return result;
  }

  sim::SimMember Member(const json& member, const std::string& at) {
    Keys(member, at, {"number", "name", "type", "text", "bitmap", "picture", "fileName", "size"});
    sim::SimMember result;
    Expect(member.contains("type"), at, "missing \"type\"");
    result.type = String(member["type"], at + ".type");
    if (member.contains("name")) result.name = Text(member["name"], at + ".name");
    if (member.contains("text")) result.text = Text(member["text"], at + ".text");
    if (member.contains("fileName"))
      result.fileName = Resolve(folder_, Text(member["fileName"], at + ".fileName"));
    if (member.contains("bitmap")) {
      const std::string file = String(member["bitmap"], at + ".bitmap");
      const std::vector<uint8> bytes = MediaFile(member["bitmap"], at + ".bitmap");
      Expect(bytes.size() >= 14 + 40 && bytes[0] == 'B' && bytes[1] == 'M', at + ".bitmap",
             file + " is not a Windows bitmap file");
      result.dib.assign(bytes.begin() + 14, bytes.end());  // the packed DIB after the file header
    }
    if (member.contains("picture")) {
      const std::string file = String(member["picture"], at + ".picture");
      const std::vector<uint8> bytes = MediaFile(member["picture"], at + ".picture");
      Expect(bytes.size() >= 512, at + ".picture",
             file + " is shorter than a PICT file's 512-byte header");
      // The host's composite media: 38 bytes of its own, then the picture.
      result.composite.assign(38, 0);
      result.composite.insert(result.composite.end(), bytes.begin() + 512, bytes.end());
      result.size = static_cast<int32>(bytes.size() - 512 + 64);
    }
    if (member.contains("size")) {
      Expect(Int32(member["size"], -0x80000000LL, &result.size), at + ".size",
             "expected an integer of 32 bits");
    }
    return result;
  }

  std::string folder_;
};

}  // namespace

bool ParseMovie(const std::string& text, const std::string& folder, MovieFile* movie,
                std::string* error) {
  *movie = MovieFile();
  json root;
  try {
    PlacedReader reader(root);
    json::sax_parse(text, &reader);
  } catch (const json::parse_error& e) {
    std::string what = e.what();
    const std::size_t detail = what.find("parse error");
    *error = detail != std::string::npos ? what.substr(detail) : what;
    return false;
  }
  try {
    Reader(folder).Movie(root, movie);
  } catch (const MovieError& e) {
    *error = (e.where.empty() ? std::string("the movie") : e.where) + ": " + e.what;
    return false;
  }
  return true;
}

bool LoadMovieFile(const std::string& path, MovieFile* movie, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = "cannot read " + path;
    return false;
  }
  std::ostringstream text;
  text << in.rdbuf();
  const std::size_t slash = LastSeparator(path);
  const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash);
  if (!ParseMovie(text.str(), folder, movie, error)) {
    *error = path + ": " + *error;
    return false;
  }
  return true;
}

}  // namespace cli
}  // namespace tamarisk
