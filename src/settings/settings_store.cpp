// Settings store (placeholder).
#include "settings/settings_store.h"

#include "settings/settings_types.h"

const WavePreset WavePresets[5] = {{0, 0}, {178, 5}, {153, 4}, {114, 3}, {63, 2}};

void LoadSettings(VisModule*) {}
void SaveSettings(VisModule*) {}
void DeriveEffectParams() {}
void SettingsFromParams() {}
