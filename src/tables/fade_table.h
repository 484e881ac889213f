// The fade table: computing "TavelDat\fade.dat" from the reference palette, and loading it.
#pragma once
#include <cstdint>

#include "platform/platform.h"
#include "settings/settings_types.h"

// Computes the table from the reference palette and EffectParams and writes the file; progress goes to
// `progressBar` as PBM_SETPOS. 0 = written whole; 1 = any failure.
int BuildFadeTable(HWND progressBar);
// 0 = the 65536-byte file was read whole into `table`; 1 otherwise.
int LoadFadeTable(std::uint8_t* table);
