// The engine's picture at a size of its own: the tunnel drawn from the landscape its last frame made.
#include "core/engine.h"
#include "core/hd_tunnel.h"

void Engine::DrawHd(HdTunnel& hd, const std::uint32_t* colours, std::uint8_t* out, std::ptrdiff_t pitch,
                    int bytesPerPixel) const {
  if (!built_) return;
  hd.Draw(tables_.LandscapeImage, colours, out, pitch, bytesPerPixel);
}
