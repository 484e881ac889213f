// Resource and control ids of the settings dialog, the About box and its bitmap (shared by the .rc and the code).
#pragma once

#define IDD_SETTINGS 101
#define IDD_ABOUT 107
#define IDB_ABOUT_PICTURE 108
#define IDD_DISPLAY 109

// Settings dialog controls.
#define IDC_WAVE_AMPLITUDE 1008
#define IDC_WAVE_SHIFT_POWER 1009
#define IDC_FADE_PROGRESS 1011
#define IDC_COMPUTE_TABLE 1012
#define IDC_PALETTE_SPEED 1013
#define IDC_CUSTOM_GROUP 1016
#define IDC_AMPLITUDE_LABEL 1017
#define IDC_SHIFT_POWER_LABEL 1018
#define IDC_RADIO_CUSTOM 1020  // RadioIndex 0; 1021..1024 are the presets 1..4
#define IDC_RADIO_VERY_SOFT 1021
#define IDC_RADIO_SOFT 1022
#define IDC_RADIO_LOUD 1023
#define IDC_RADIO_VERY_LOUD 1024
#define IDC_FADE_OFFSET 1029
#define IDC_FADE_AMPLITUDE 1030
#define IDC_FADE_POWER 1031
#define IDC_ATTENUATION_RATE 1032
#define IDC_ABOUT 1033
#define IDC_LOAD_TEXTURE 1039
#define IDC_USE_TEXTURE 1040
#define IDC_DISPLAY 1041          // opens the display dialog
#define IDC_DISPLAY_SUMMARY 1042  // the display choices in words, beside it

// Display dialog controls: the ways of showing in DisplayMode order, then the pictures in Picture order.
#define IDC_MODE_CHAIN 1050
#define IDC_MODE_EFFECT_ONLY 1051
#define IDC_MODE_WINDOW 1052
#define IDC_MODE_DOCKED 1053
#define IDC_DOCK_REASON 1054
#define IDC_PICTURE_CLASSIC 1055
#define IDC_PICTURE_HD 1056
#define IDC_FORGET_PLACE 1057
