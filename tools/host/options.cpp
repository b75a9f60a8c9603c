#include "tools/host/options.h"

#include <io.h>
#include <shellapi.h>

#include <cstdio>
#include <fstream>

#include "simhost/module_loader.h"
#include "tools/host/console.h"
#include "tools/host/lingo_call.h"
#include "tools/host/text_encoding.h"

namespace tamarisk {
namespace cli {

namespace {

int Usage() {
  std::fprintf(
      stderr,
      "usage: tamarisk-host [options] [CALL ...]\n"
      "  Loads TAMARISK.x32 as the authoring host does, registers it and runs\n"
      "  each CALL, written as in a Lingo script: Plovers(\"a.txt\", \"b.txt\").\n"
      "  Without calls it prints the class table and the Lingo message table.\n"
      "options:\n"
      "  --module PATH    the module to load (default: TAMARISK.x32 beside this program)\n"
      "  --movie FILE     the movie: base path, casts and members (JSON)\n"
      "  --script FILE    calls to run, one per line (\"--\" starts a comment)\n"
      "  --base PATH      the host's base path (default: the movie's, else the current folder)\n"
      "  --folder DIR     the current folder while the calls run (created if missing)\n"
      "  --register       print the class table and message table too\n"
      "The user, three ways:\n"
      "  interactive      when standard input is a terminal, or with --interactive:\n"
      "                   questions and the save dialog are asked on the terminal\n"
      "  scripted         answers given in order by --yes, --no (overwrite questions;\n"
      "                   default No) and --choose PATH, --cancel (save dialogs;\n"
      "                   default cancel)\n"
      "  --real-dialogs   the platform's own message boxes, save dialog and progress\n"
      "                   window, owned by a window for the movie, as in the\n"
      "                   authoring host\n"
      "A copy that lasts longer than a second shows its progress on one line.\n");
  return 2;
}

// The command line as typed, in UTF-8 like a script: the ANSI argv would
// hold CP932 bytes, with what the code page lacks already lost.
std::vector<std::string> CommandLineArguments() {
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> args;
  for (int i = 0; wide != nullptr && i < count; ++i) args.push_back(Utf8Of(wide[i]));
  LocalFree(wide);
  return args;
}

bool ReadScript(const std::string& path, std::vector<std::string>* calls) {
  std::ifstream in(path);
  if (!in) return false;
  std::string line;
  for (bool first = true; std::getline(in, line); first = false) {
    // Notepad starts a UTF-8 file with a byte-order mark.
    if (first && line.compare(0, 3, "\xEF\xBB\xBF") == 0) line.erase(0, 3);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!IsScriptComment(line)) calls->push_back(line);
  }
  return true;
}

// Reads the options into options. 0 when the run can go on, else the exit
// status.
int ParseArguments(const std::vector<std::string>& args, Options* options) {
  bool unmappable = false;
  std::size_t i = 1;
  // Files and folders are named to the ANSI calls, in CP932.
  auto pathValue = [&]() {
    std::string cp932;
    if (!Utf8ToCp932(args[++i], &cp932)) unmappable = true;
    return cp932;
  };
  for (; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool hasValue = i + 1 < args.size();
    if (arg == "--module" && hasValue) {
      options->modulePath = pathValue();
    } else if (arg == "--movie" && hasValue) {
      options->moviePath = pathValue();
    } else if (arg == "--script" && hasValue) {
      const std::string script = pathValue();
      if (unmappable || !ReadScript(script, &options->calls)) {
        std::fprintf(stderr, "tamarisk-host: cannot read the script %s\n", args[i].c_str());
        return 2;
      }
    } else if (arg == "--base" && hasValue) {
      options->basePath = pathValue();
    } else if (arg == "--folder" && hasValue) {
      options->folder = pathValue();
    } else if (arg == "--yes" || arg == "--no") {
      options->answers.questions.push_back(arg == "--yes" ? IDYES : IDNO);
      options->interactive = false;
    } else if (arg == "--choose" && hasValue) {
      // Typed into the dialog, which answers in UTF-16 whatever CP932 lacks.
      options->answers.choices.push_back(args[++i]);
      options->interactive = false;
    } else if (arg == "--cancel") {
      options->answers.choices.push_back("");
      options->interactive = false;
    } else if (arg == "--interactive") {
      options->interactive = true;
    } else if (arg == "--real-dialogs") {
      options->realDialogs = true;
    } else if (arg == "--register") {
      options->registerTables = true;
    } else if (!arg.empty() && arg[0] == '-' && arg.size() > 1 && arg[1] == '-') {
      return Usage();
    } else {
      options->calls.push_back(arg);
    }
  }
  if (unmappable) {
    std::fprintf(stderr, "tamarisk-host: a file or folder name has characters that CP932 lacks\n");
    return 2;
  }
  return 0;
}

}  // namespace

Options::Options()
    : modulePath(sim::ModuleBesideProgram()), interactive(_isatty(_fileno(stdin)) != 0) {}

UserMode Options::userMode() const {
  if (realDialogs) return UserMode::kReal;
  return interactive ? UserMode::kInteractive : UserMode::kScripted;
}

int ReadCommandLine(Options* options) { return ParseArguments(CommandLineArguments(), options); }

}  // namespace cli
}  // namespace tamarisk
