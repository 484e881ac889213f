// Tunnel mapper (placeholder).
#include "effect/tunnel.h"

void MapTunnel() {}
