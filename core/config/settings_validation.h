#pragma once
// Settings that check themselves: every window, the cli and the parameter-file reader refuse or
// repair the same values with the same sentence.

#include <string>
#include <vector>

#include "core/config/settings.h"

namespace marvek {

struct SettingsProblem {
    std::string setting;  // which setting, as the user knows it ("Oliver-Pharr force range")
    std::string message;  // the whole sentence: the value found and what it must be
};

// Every problem of `settings`, in a fixed order; empty when all values are usable.
std::vector<SettingsProblem> Validate(const Settings& settings);

// Puts back the default of every setting Validate finds a problem with and returns those
// problems (the parameter-file reader keeps the default for an invalid value and says so).
std::vector<SettingsProblem> RestoreInvalidToDefaults(Settings& settings);

// The problems as one text, one sentence per line.
std::string DescribeProblems(const std::vector<SettingsProblem>& problems);

}  // namespace marvek
