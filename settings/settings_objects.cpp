#include "settings/settings_objects.h"

#include "settings/area_function_dialog.h"
#include "settings/compliance_dialog.h"
#include "settings/strategy_dialog.h"

marvek::QualitySettings g_qualitySettings;

marvek::Settings CollectSettings(float fPoisson) {
    marvek::Settings s;
    s.strategy = g_dlgStrategy;
    s.compliance = g_dlgCompliance;
    s.areaFunction = g_dlgAreaFunction;
    s.quality = g_qualitySettings;
    s.m_fPoisson = fPoisson;
    return s;
}

void StoreSettings(const marvek::Settings& settings) {
    static_cast<marvek::StrategySettings&>(g_dlgStrategy) = settings.strategy;
    static_cast<marvek::ComplianceSettings&>(g_dlgCompliance) = settings.compliance;
    static_cast<marvek::AreaFunctionSettings&>(g_dlgAreaFunction) = settings.areaFunction;
    g_qualitySettings = settings.quality;
}
