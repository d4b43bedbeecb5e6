#pragma once
// The three global settings objects together with the main window's Poisson ratio form the
// Settings that core analyses take and the parameter file stores.

#include "core/io/settings.h"

// Thresholds of the quality flags (no window edits them; the parameter file keeps them).
extern marvek::QualitySettings g_qualitySettings;

// The globals' values with `fPoisson` as the sample Poisson ratio.
marvek::Settings CollectSettings(float fPoisson);
// Writes the three settings objects of `settings` into the globals (its m_fPoisson is the
// caller's to take).
void StoreSettings(const marvek::Settings& settings);
