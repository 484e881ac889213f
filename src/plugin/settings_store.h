// The settings store: "plugin.ini" in the plug-in's folder, the presets and the derived parameters.
#pragma once
#include "plugin/vis_records.h"

void LoadSettings(VisModule* module);
void SaveSettings(VisModule* module);
// Removes the normal window's remembered place from "plugin.ini": it opens in the middle at its next start.
void ForgetStoredWindowPlace(VisModule* module);
// "DisplayMode" alone: Init needs it before the display opens, long before the other settings are read. The
// settings dialog does not edit it, so SaveSettings leaves the key as the user wrote it; SaveDisplayMode writes it.
void LoadDisplayMode(VisModule* module);
void SaveDisplayMode(VisModule* module);
void DeriveEffectParams();
// LoadSettings, then DeriveEffectParams: what every reader of "plugin.ini" needs.
void LoadSettingsAndParams(VisModule* module);
void SettingsFromParams();
