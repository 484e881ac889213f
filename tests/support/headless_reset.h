// Puts every headless platform service back into its start state, between tests.
#pragma once

// Windows and classes, DirectDraw, GDI, message boxes, the find hook and the open-failure hook; the state record
// is left to the caller (MakePluginFolder resets it).
void ResetHeadlessPlatform();
