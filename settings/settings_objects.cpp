#include "settings/settings_objects.h"

#include "core/config/settings_validation.h"
#include "settings/area_function_dialog.h"
#include "settings/compliance_dialog.h"
#include "settings/strategy_dialog.h"
#include "ui/data_exchange.h"

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

void CheckSetting(marvek::ui::DataExchange& dx, const marvek::Settings& settings,
                  const char* setting) {
    if (!dx.Saving() || dx.Failed()) return;
    for (const marvek::SettingsProblem& p : marvek::Validate(settings))
        if (p.setting == setting) {
            dx.Refuse(p.message);
            return;
        }
}
