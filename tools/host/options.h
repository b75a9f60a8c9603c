// What the command line asks for: the module, the movie, the calls and how
// the user answers.
#pragma once

#include <string>
#include <vector>

#include "tools/host/user.h"

namespace tamarisk {
namespace cli {

struct Options {
  Options();
  UserMode userMode() const;

  std::string modulePath;  // CP932, as are the other paths
  std::string basePath;
  std::string moviePath;
  std::string folder;
  bool registerTables = false;
  bool interactive;  // the default: whether standard input is a terminal
  bool realDialogs = false;
  ScriptedAnswers answers;
  std::vector<std::string> calls;  // in UTF-8, from the command line and scripts
};

// Reads the command line (as typed, in UTF-8) into options. 0 when the run
// can go on, else the exit status, the reason printed.
int ReadCommandLine(Options* options);

}  // namespace cli
}  // namespace tamarisk
