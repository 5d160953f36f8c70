#pragma once
// The host side of "restart Windows". The host itself is never restarted: a restart
// request runs the command named by NOLVO_RESTART_COMMAND instead (through /bin/sh -c,
// waiting for it, with NOLVO_RESTART_FLAGS set to the request's flags in decimal) and is
// accepted when that command exits with 0. Without the variable (or with it empty) every
// request is refused.

#include <cstdint>

namespace nolvo::platform {

// True when the restart request was accepted. Never throws except for memory exhaustion.
bool RequestHostRestart(std::uint32_t flags);

}  // namespace nolvo::platform
