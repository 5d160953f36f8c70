#pragma once

#include <string>

#include "platform/machine.h"

namespace nolvo::util {

// Opens `fileName` through the shell with the default verb: `parameters` go to the
// program, `defaultDir` is its working directory (empty: the machine's current
// directory), `showCmd` is the SW_ value. All three texts are Windows paths and texts of
// `machine`, carried whole whatever their length. Returns the shell's result: above 32
// when the file was opened, 2 when it does not exist, 3 when its folder or `defaultDir`
// does not exist, 31 when nothing on this host can open it (see platform/launch.h, also
// for the NOLVO_LAUNCH_LOG recording mode). A relative `fileName` is looked up in the
// current directory, then in `defaultDir`. Never throws except for memory exhaustion.
int LaunchFile(const platform::Machine& machine, const std::string& fileName,
               const std::string& parameters, const std::string& defaultDir, int showCmd);

}  // namespace nolvo::util
