#include "cli/interrupt.h"

#include <signal.h>

#include <array>
#include <csignal>

namespace nolvo::cli {

namespace {

volatile sig_atomic_t g_interrupted = 0;
constexpr std::array<int, 3> kSignals = {SIGINT, SIGTERM, SIGHUP};
std::array<struct sigaction, 3> g_previous{};

extern "C" void OnSignal(int) { g_interrupted = 1; }

}  // namespace

InterruptGuard::InterruptGuard() {
  g_interrupted = 0;
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  for (std::size_t i = 0; i < kSignals.size(); ++i) sigaction(kSignals[i], &action, &g_previous[i]);
}

InterruptGuard::~InterruptGuard() {
  for (std::size_t i = 0; i < kSignals.size(); ++i) sigaction(kSignals[i], &g_previous[i], nullptr);
}

void ThrowIfInterrupted() {
  if (g_interrupted) throw EInterrupted();
}

bool Interrupted() { return g_interrupted != 0; }

}  // namespace nolvo::cli
