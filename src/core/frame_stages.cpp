// The order of the drawing stages within a frame.
#include "core/frame_stages.h"

#include "core/landscape.h"
#include "core/tunnel.h"
#include "core/wave_field.h"

int DrawFrameStages(const FrameInputs& in, FrameCounters& counters, FrameTrace& trace, const FrameOutput& out) {
  const TableSet& t = *in.Tables;
  if (!t.WaveBuffer[0] || !t.WaveBuffer[1] || !t.HeightMap) return 1;
  AdvanceWaveField(in, counters, trace);
  RenderLandscape(t, counters.TextureScroll);
  MapTunnel(t, out);
  counters.FrameCounter += 1;
  counters.TextureScroll = (counters.TextureScroll + 258u) & 0xFFFFu;
  return 0;
}
