// A movie described in a JSON file: the host's base path and the casts with
// their members, for the command-line host to serve to the module.
#pragma once

#include <string>
#include <vector>

#include "simhost/sim_host.h"

namespace tamarisk {
namespace cli {

struct MovieFile {
  std::string basePath;  // empty when the file gives none
  std::vector<sim::SimCast> casts;
};

// Reads and checks the file. On failure error names the place: the line and
// column of a syntax error, or the JSON path of a wrong or missing value.
// Files that members name (bitmaps, pictures, linked files) are relative to
// the movie file's folder. Paths are in CP932.
bool LoadMovieFile(const std::string& path, MovieFile* movie, std::string* error);

// The same, from text already read; folder completes relative file names.
bool ParseMovie(const std::string& text, const std::string& folder, MovieFile* movie,
                std::string* error);

}  // namespace cli
}  // namespace tamarisk
