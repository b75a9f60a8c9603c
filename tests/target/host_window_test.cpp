// The save dialog with a real host window: the window takes no input while
// the dialog shows, and the keyboard focus comes back to where it was.
#include <windows.h>

#include <gtest/gtest.h>

#include "support/host_fixture.h"

namespace tamarisk {
namespace test {
namespace {

class HostWindow : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    frame_ = CreateWindowExA(0, "STATIC", "host", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr,
                             nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(nullptr, frame_);
    field_ = CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE, 0, 0, 100, 20, frame_, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(nullptr, field_);
    ShowWindow(frame_, SW_SHOW);
    host.window = frame_;
    WriteFile(Root() + "\\a.txt", "a");
    scripting_ = NewScripting();
  }
  void TearDown() override {
    DestroyWindow(frame_);
    HostTest::TearDown();
  }

  HWND frame_ = nullptr;
  HWND field_ = nullptr;
  InterfaceObject* scripting_ = nullptr;
};

// The dialog disables its owner itself and enables it again only if it was
// enabled (the responder does as the platform documents): given the window
// enabled, the host's window is the active one again afterwards, whether or
// not a part of it had the focus, which comes back.
TEST_F(HostWindow, IsGivenEnabledToTheDialogAndActiveAfterwards) {
  for (const HWND focused : {field_, HWND{nullptr}}) {
    SCOPED_TRACE(focused != nullptr ? "a field had the focus" : "nothing had it");
    Ui().Reset(&host);
    SetActiveWindow(frame_);
    SetFocus(focused);
    ASSERT_EQ(focused, GetFocus());
    Ui().choices = {{true, ""}};
    HostValue result = host.VoidValue();
    host.Call(scripting_, 1, {host.StringValue(Root() + "\\a.txt")}, &result);
    EXPECT_EQ(1, host.IntegerOf(result));
    ASSERT_EQ(1u, Ui().dialogs.size());
    EXPECT_EQ(static_cast<WindowHandle>(frame_), Ui().dialogs[0].owner);
    EXPECT_TRUE(Ui().dialogs[0].ownerEnabled);
    EXPECT_TRUE(IsWindowEnabled(frame_));
    EXPECT_EQ(frame_, GetActiveWindow());
    EXPECT_EQ(focused, GetFocus());
  }
}

TEST_F(HostWindow, AWindowDisabledBeforeStaysDisabled) {
  EnableWindow(frame_, FALSE);
  Ui().choices = {{true, ""}};
  HostValue result = host.VoidValue();
  host.Call(scripting_, 1, {host.StringValue(Root() + "\\a.txt")}, &result);
  EXPECT_FALSE(IsWindowEnabled(frame_));
}

}  // namespace
}  // namespace test
}  // namespace tamarisk
