#include "bsl/loader_progress.h"

namespace halv {
namespace {

LoaderProgressHook g_hook = nullptr;

}  // namespace

LoaderProgressHook SetLoaderProgressHook(LoaderProgressHook hook) {
  const LoaderProgressHook previous = g_hook;
  g_hook = hook;
  return previous;
}

int ReportLoaderProgress(uint32_t total, uint32_t done, int phase, char letter) {
  return g_hook != nullptr ? g_hook(total, done, phase, letter) : 1;
}

}  // namespace halv
