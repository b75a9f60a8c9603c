// ui-person: the person of support/ui_person.h for another program's
// message boxes and save dialogs on the same desktop (tests/cli). It takes
// the steps in order, then prints what each window showed, one line each
// (UTF-8), and what went wrong, if anything.
//
//   ui-person [--pictures FOLDER] STEP...    STEP: yes | no | ok | cancel | wait | save:NAME
//
// --pictures saves each window first, as it is on the screen, as
// FOLDER\1.bmp, 2.bmp ... (scripts/screenshots.sh).
//
// Exit status 0 when every step found its window and nothing else showed.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "support/ui_person.h"

using tamarisk::test::Person;
using tamarisk::test::WindowSeen;
using Step = tamarisk::test::PersonStep;

int main(int argc, char** argv) {
  std::vector<Step> steps;
  std::string pictures;
  int wideCount = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &wideCount);
  if (wide == nullptr || wideCount != argc) return 2;
  const std::map<std::string, Step::Action> words = {{"yes", Step::kYes},
                                                     {"no", Step::kNo},
                                                     {"ok", Step::kOk},
                                                     {"cancel", Step::kCancel},
                                                     {"wait", Step::kWait}};
  for (int i = 1; i < argc; ++i) {
    const std::string step = argv[i];
    if (step == "--pictures" && i + 1 < argc) {
      pictures = argv[++i];
    } else if (words.count(step) != 0) {
      steps.push_back({words.at(step), ""});
    } else if (step.compare(0, 5, "save:") == 0) {
      // From the wide command line: a name may hold characters the ANSI code page lacks.
      steps.push_back({Step::kSave, "", std::wstring(wide[i]).substr(5)});
    } else {
      std::fprintf(stderr,
                   "usage: ui-person [--pictures FOLDER] yes|no|ok|cancel|wait|save:NAME ...\n");
      return 2;
    }
  }
  // The other program may still be starting: its first window may be slow.
  Person person(steps, true, 20000, pictures);
  for (const WindowSeen& seen : person.FinishWhenDone())
    std::printf("%s\n", seen.Describe().c_str());
  const std::string problems = person.Problems();
  std::printf("%s", problems.c_str());
  return problems.empty() ? 0 : 1;
}
