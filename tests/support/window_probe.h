// Pings a window every 10 ms, as the system does to find programs that hang,
// and keeps the longest time the window went without an answer; for the
// real-UI tests and the benchmark.
#pragma once

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

namespace tamarisk {
namespace test {

class WindowProbe {
 public:
  explicit WindowProbe(HWND window) : thread_([this, window] { Run(window); }) {}
  ~WindowProbe() { Stop(); }
  WindowProbe(const WindowProbe&) = delete;
  WindowProbe& operator=(const WindowProbe&) = delete;

  // Call as soon as the call under test has returned: a ping still waiting
  // then counts until now. The longest stretch, in seconds.
  double Stop() {
    if (thread_.joinable()) {
      stoppedAt_ = Now();
      stop_ = true;
      // A ping still waiting is answered here, or the probe would wait for
      // this thread while this thread waits for it.
      while (!ended_) {
        MSG message;
        PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);
        Sleep(1);
      }
      thread_.join();
    }
    return longest_;
  }

 private:
  static double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
  }

  void Run(HWND window) {
    double answered = Now();
    while (!stop_) {
      DWORD_PTR reply = 0;
      SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &reply);
      const double now = stop_ ? stoppedAt_.load() : Now();
      longest_ = std::max(longest_, now - answered);
      if (stop_) break;
      answered = now;
      Sleep(10);
    }
    ended_ = true;
  }

  std::atomic<bool> stop_{false};
  std::atomic<bool> ended_{false};
  std::atomic<double> stoppedAt_{0};
  double longest_ = 0;
  std::thread thread_;
};

}  // namespace test
}  // namespace tamarisk
