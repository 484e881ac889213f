// What the system tells the plug-in about its window, between the frames: the backend's window procedure calls these.
#pragma once

struct Plugin;

// The window became the active one, or stopped being it: full screen draws only while active.
void OnWindowActivated(Plugin& plugin, bool active);
// Alt+Enter or the player's full-screen command: the next Render switches between window and full screen.
void OnSwitchAsked(Plugin& plugin);
// The window's client area is now width x height: the hd picture's map for it is begun at once.
void OnClientResized(Plugin& plugin, int width, int height);
// The player's next (+1) or previous (-1) palette command, for the next Render; safe from any thread.
void OnPaletteCommand(Plugin& plugin, int palettes);
