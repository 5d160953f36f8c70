#pragma once
// Loads install.cfg into the run's settings, applies the header texts, fonts and colours
// and the gradient colours to the main-screen model, and presets the wizard.

#include <string>
#include <vector>

#include "app/main_screen_model.h"
#include "app/setup_settings.h"
#include "app/typed_values.h"
#include "app/wizard_preset.h"
#include "platform/profile_file.h"

namespace nolvo::app {

inline constexpr const char* kMainSection = "Setup - Main";
inline constexpr const char* kOverwriteSection = "Files - OverWrite";

// Everything one load produced: what `nolvo check` shows.
struct LoadResult {
  platform::ProfileEncoding Encoding = platform::ProfileEncoding::peAnsi;  // as the file was read
  SetupSettings Settings;
  MainScreenModel Screen;
  WizardPreset Wizard;
  std::vector<ReadRecord> Records;          // every key read, in reading order
  std::vector<LoadDiagnostic> Diagnostics;  // values cut, numbers that did not convert, ...
};

// Runs the load over an already read profile. `screen` holds the main screen's current
// values, which are the defaults of the colour, font and header keys. A missing file is
// an empty profile: every key yields its default and every list is empty.
//
// Each key line of a list section is one entry, in file order, whatever its key: neither
// duplicate keys nor the profile API's 8192-byte key-name list drop an entry (both are
// named in the diagnostics, since a setup reading through that API would lose entries).
// Lines of a list section that give no entry (no "=", a repeated section) are
// diagnostics marked LineUnused.
LoadResult LoadSettings(const platform::ProfileReader& profile,
                        const MainScreenModel& screen = MainScreenModel{});

}  // namespace nolvo::app
