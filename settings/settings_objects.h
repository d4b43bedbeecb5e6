#pragma once
// The three global settings objects together with the main window's Poisson ratio form the
// Settings that core analyses take and the parameter file stores.

#include "core/config/settings.h"

// Thresholds of the quality flags (no window edits them; the parameter file keeps them).
extern marvek::QualitySettings g_qualitySettings;

// The globals' values with `fPoisson` as the sample Poisson ratio.
marvek::Settings CollectSettings(float fPoisson);
// Writes the three settings objects of `settings` into the globals (its m_fPoisson is the
// caller's to take).
void StoreSettings(const marvek::Settings& settings);

namespace marvek::ui {
class DataExchange;
}

// Checks the setting `setting` (its name as the core's checks give it, e.g. "indenter Poisson
// ratio") of `settings` with the checks the cli and the parameter file use, and refuses the
// value last exchanged with their sentence. The window thus stores nothing a run would refuse
// or replace.
void CheckSetting(marvek::ui::DataExchange& dx, const marvek::Settings& settings,
                  const char* setting);
