#pragma once
// The [Desktop] entry split lives with the settings (the media tools read it too); the
// setup names it as its own.

#include "app/desktop_entry.h"

namespace nolvo::setup {

using app::DesktopEntry;
using app::SplitDesktopEntry;

}  // namespace nolvo::setup
