#pragma once
// Ctrl+C and termination during a command: the signal only sets a flag, and the command
// stops at its next progress report by throwing EInterrupted, so that every temporary
// file and folder is removed on the way out.

#include "archive/media/outcome_table.h"
#include "platform/dialogs.h"

namespace nolvo::cli {

class EInterrupted : public media::ECancelled {
 public:
  EInterrupted() : media::ECancelled("interrupted") {}
};

// Catches SIGINT, SIGTERM and SIGHUP while it lives; the previous handlers come back
// afterwards.
class InterruptGuard {
 public:
  InterruptGuard();
  ~InterruptGuard();
  InterruptGuard(const InterruptGuard&) = delete;
  InterruptGuard& operator=(const InterruptGuard&) = delete;
};

// Throws EInterrupted when a signal came.
void ThrowIfInterrupted();
// Whether a signal came while a guard lived.
bool Interrupted();

// A message pump for runs without windows that stops the run at its next message point
// (by throwing EInterrupted) once a signal came.
class InterruptingPump : public platform::MessagePump {
 public:
  void ProcessMessages() override { ThrowIfInterrupted(); }
};

}  // namespace nolvo::cli
