// The "Ombrelo Tunnel" video source: registered with libobs by the module.
#pragma once

// The source's id, as scenes store it.
constexpr const char kTunnelSourceId[] = "ombrelo_tunnel_source";

void RegisterTunnelSource();
