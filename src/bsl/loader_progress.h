// The application's progress hook for erasing and programming. The engine
// reports; the application moves its progress bar, keeps its window alive and
// may cancel by answering 0.
#pragma once

#include <cstdint>

namespace halv {

// Phases of a report.
constexpr int kProgressWorking = 1;
constexpr int kProgressDone = 2;

// total and done count segments (letter "X") or image characters ("W").
// Returns non-zero to go on, 0 to cancel.
using LoaderProgressHook = int (*)(uint32_t total, uint32_t done, int phase, char letter);

// Installs the hook (null: reports always go on). Returns the previous one.
LoaderProgressHook SetLoaderProgressHook(LoaderProgressHook hook);

// Passes a report to the installed hook; 1 when none is installed.
int ReportLoaderProgress(uint32_t total, uint32_t done, int phase, char letter);

// Installs a hook for the length of a scope.
class ScopedLoaderProgress {
 public:
  explicit ScopedLoaderProgress(LoaderProgressHook hook) : previous_(SetLoaderProgressHook(hook)) {}
  ~ScopedLoaderProgress() { SetLoaderProgressHook(previous_); }
  ScopedLoaderProgress(const ScopedLoaderProgress&) = delete;
  ScopedLoaderProgress& operator=(const ScopedLoaderProgress&) = delete;

 private:
  LoaderProgressHook previous_;
};

}  // namespace halv
