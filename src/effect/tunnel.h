// The tunnel mapper: wraps the LandscapeImage around the screen through the TunnelTable.
#pragma once

// Writes FrameHeight rows of FrameWidth bytes at FramePixels, FramePitch apart. Needs the table set built.
void MapTunnel();
