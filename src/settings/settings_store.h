// The settings store: "plugin.ini" in the plug-in's folder, the presets and the derived parameters.
#pragma once
#include "host/vis_records.h"

void LoadSettings(VisModule* module);
void SaveSettings(VisModule* module);
void DeriveEffectParams();
// LoadSettings, then DeriveEffectParams: what every reader of "plugin.ini" needs.
void LoadSettingsAndParams(VisModule* module);
void SettingsFromParams();
