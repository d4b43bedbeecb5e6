#pragma once
// The settings of a Python call, resolved by the cli's own option parser: the keyword arguments
// become the flags `marvek-cli analyze` takes, so the values, checks and messages are the cli's.

#include <optional>
#include <string>
#include <vector>

#include "cli/iso_columns.h"
#include "core/config/settings.h"
#include "core/io/parsed_curve.h"

namespace marvek::python {

struct CallSettings {
    Settings settings;
    io::ReadOptions read;
    cli::IsoOptions iso;
    std::vector<std::string> excludeCodes;  // non-empty: the rows are judged as one series
    bool useFileSettings = false;
    int threads = 0;  // 0: all cores
};

// What resolving the flags came to: the settings, or the cli's message and the flag it names
// ("--poisson") or the setting a check refused ("sample Poisson ratio"), "" when neither.
struct Resolution {
    std::optional<CallSettings> settings;
    std::string message;
    std::string option;
    std::string setting;
};

// `args` are command-line flags in order ("--poisson", "0.3", "--drift", ...). Without
// "--params" the built-in defaults are used, never the user's parameter file, so that a script
// gives the same numbers on every machine.
Resolution ResolveCallSettings(std::vector<std::string> args);

// Names of the flags a call may give (without the leading dashes).
std::vector<std::string> KnownOptions();

}  // namespace marvek::python
