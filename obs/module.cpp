// The OBS module "obs-tavelmir": loads the locale and registers the "Ombrelo Tunnel" source.
#include <obs-module.h>

#include "tunnel_source.h"

OBS_DECLARE_MODULE()
OBS_MODULE_USE_DEFAULT_LOCALE("obs-tavelmir", "en-US")

MODULE_EXPORT const char* obs_module_description(void) {
  return "Ombrelo Tunnel: the music's waveform as ripples on a landscape inside a tunnel, driven by OBS's sound";
}

bool obs_module_load(void) {
  RegisterTunnelSource();
  // One line in OBS's log says the source is there, for users' bug reports and the package check.
  blog(LOG_INFO, "[obs-tavelmir] registered source '%s' (%s)", obs_source_get_display_name(kTunnelSourceId),
       kTunnelSourceId);
  return true;
}
