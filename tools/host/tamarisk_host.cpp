// tamarisk-host: loads TAMARISK.x32 the way the authoring host does, shows
// what the host sees when it registers the module, and runs Lingo calls
// against a movie described in a JSON file.
#include <windows.h>

#include <cstdio>
#include <string>

#include "simhost/module_loader.h"
#include "simhost/sim_host.h"
#include "tools/host/calls.h"
#include "tools/host/movie_file.h"
#include "tools/host/options.h"
#include "tools/host/registration.h"
#include "tools/host/text_encoding.h"
#include "tools/host/user.h"

using namespace tamarisk;
using namespace tamarisk::cli;

namespace {

// The movie, the current folder and the base path the calls run with. 0
// when they are ready, else the exit status.
int PrepareMovie(Options* options, MovieFile* movie) {
  if (!options->moviePath.empty()) {
    char full[MAX_PATH] = {};
    GetFullPathNameA(options->moviePath.c_str(), MAX_PATH, full, nullptr);
    std::string error;
    if (!LoadMovieFile(full, movie, &error)) {
      std::fprintf(stderr, "tamarisk-host: %s\n", error.c_str());
      return 2;
    }
  }
  if (!options->folder.empty()) {
    CreateDirectoryA(options->folder.c_str(), nullptr);
    if (!SetCurrentDirectoryA(options->folder.c_str())) {
      std::fprintf(stderr, "tamarisk-host: cannot use the folder %s\n", options->folder.c_str());
      return 2;
    }
  }
  if (options->basePath.empty()) options->basePath = movie->basePath;
  if (options->basePath.empty()) {
    char current[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, current);
    const std::string folder = current;
    options->basePath = folder + (EndsWithSeparator(folder) ? "" : "\\") + "movie.dir";
  }
  return 0;
}

// Registers the loaded module with a simulated host serving the movie and
// runs the calls; the exit status.
int RunWithModule(const sim::LoadedModule& module, const Options& options, const MovieFile& movie) {
  int exitCode = 0;
  const HMODULE handle = static_cast<HMODULE>(module.handle);
  // Every box and dialog is printed; with --real-dialogs it is then shown.
  UserWindows user(handle, options.userMode(), options.answers);
  sim::SimHost host(module.api);
  host.basePath = options.basePath;
  host.casts = movie.casts;
  host.hostInstance = GetModuleHandleA(nullptr);
  // The module's windows are owned by the stage, which the authoring host
  // always has; it shows where the platform's own windows do.
  HWND stage = nullptr;
  if (!options.calls.empty()) {
    stage = MakeStage(options.basePath, options.userMode() == UserMode::kReal);
    if (stage == nullptr) {
      std::fprintf(stderr, "tamarisk-host: the stage window could not be made (error %lu)\n",
                   GetLastError());
      exitCode = 1;
    }
    host.window = stage;
  }
  const bool showTables = options.registerTables || options.calls.empty();
  if (showTables) {
    std::printf("Module: %s\n", options.modulePath.c_str());
    if (!PrintClassTable(host)) exitCode = 1;
  }
  if (exitCode == 0 && !Register(host, showTables)) exitCode = 1;
  if (exitCode == 0 && !options.calls.empty() && !RunCalls(host, handle, options.calls))
    exitCode = 2;
  const std::string audit = host.Audit();
  if (!audit.empty()) {
    std::printf("The host's audit found:\n%s", audit.c_str());
    exitCode = 1;
  }
  if (stage != nullptr) DestroyWindow(stage);
  return exitCode;
}

}  // namespace

int main() {
  Options options;
  if (const int status = ReadCommandLine(&options)) return status;
  MovieFile movie;
  if (const int status = PrepareMovie(&options, &movie)) return status;

  sim::LoadedModule module;
  std::string error;
  if (!sim::LoadModule(options.modulePath, &module, &error)) {
    std::fprintf(stderr, "tamarisk-host: %s\n", error.c_str());
    return 1;
  }
  int exitCode = RunWithModule(module, options, movie);
  if (module.api.canUnloadNow() != kOk) {
    std::printf("The module refuses to unload: interface objects are alive\n");
    exitCode = 1;
  }
  sim::UnloadModule(&module);
  return exitCode;
}
