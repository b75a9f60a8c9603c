// A person at the screen, for the real message boxes, save dialog and
// progress window: a
// thread that waits for each window the module shows (a dialog of class
// #32770), reads what a person would read there, and answers by pressing
// its buttons and typing into its fields. Nothing in the module is patched.
// Works on the windows of this process or, from a helper program, of
// another one on the same desktop.
#pragma once

#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tamarisk {
namespace test {

// One thing the person does, in order. kWait: watch a progress window
// until it closes by itself. kEscape, kEnter: press that key in a progress
// window, as on a keyboard.
struct PersonStep {
  enum Action { kYes, kNo, kOk, kSave, kCancel, kWait, kEscape, kEnter };
  Action action;
  std::string typed = "";   // kSave: what is typed into the file name field first (CP932)
  std::wstring wide = L"";  // kSave: typed instead when not empty, characters CP932 lacks and all
};

// One window as the person found it. Its texts are in CP932, where a
// character CP932 lacks shows as '?'.
struct WindowSeen {
  enum Kind { kMessageBox, kSaveDialog, kProgress, kOther };
  Kind kind = kOther;
  std::string caption;        // CP932, as the title bar shows it
  std::string ownerCaption;   // the owner window's title; empty without an owner
  bool ownerEnabled = false;  // whether the owner took input meanwhile
  std::string text;           // a box: its message; a progress window: the name it shows
  std::string percent;        // a progress window: the percentage it shows
  std::string button;         // a progress window: its button's text
  std::vector<int> buttons;   // a box: the command ids of its buttons, in order
  std::string fileName;       // the dialog: its file name field
  std::string fileType;       // the dialog: the selected entry of "file type"
  std::string folder;         // the dialog: the folder it shows, as named in "look in"
  std::string folderPath;     // the dialog: that folder's full path (this process only)
  std::string done;           // what the person did, e.g. "Yes" or "typed x, Save"

  std::string Describe() const;  // one line, for failure messages
};

class Person {
 public:
  // Starts watching at once, the windows of this process or of every other
  // one. A window of this process is waited for until the call that shows
  // it has returned (Finish), however busy the machine; another program's
  // must show within timeoutMs of the last answer. Each window must take
  // an answer within timeoutMs. With a pictures folder, each window is
  // first saved there as it is on the screen (1.bmp, 2.bmp ...).
  explicit Person(std::vector<PersonStep> steps, bool otherProcesses = false, int timeoutMs = 8000,
                  std::string picturesFolder = "");
  ~Person();
  Person(const Person&) = delete;
  Person& operator=(const Person&) = delete;

  // Stops watching (call it after the call that shows the windows has
  // returned) and gives what the person saw, in order.
  const std::vector<WindowSeen>& Finish();
  // Waits until every step is taken or a window is overdue, then stops.
  const std::vector<WindowSeen>& FinishWhenDone();
  // Empty when every step found its window and nothing else showed;
  // otherwise what went wrong, with what was on the screen.
  std::string Problems();

 private:
  void Run();
  HWND WaitForWindow(bool* stopped);
  void Take(HWND window, const PersonStep* step);
  void WaitUntilAnswered(HWND window, const WindowSeen& seen);
  void Problem(const std::string& text);

  std::vector<PersonStep> steps_;
  bool others_;
  int timeoutMs_;
  std::string picturesFolder_;
  int pictures_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<bool> stepsDone_{false};
  std::mutex mutex_;
  std::vector<WindowSeen> seen_;
  std::string problems_;
  std::thread thread_;
};

}  // namespace test
}  // namespace tamarisk
