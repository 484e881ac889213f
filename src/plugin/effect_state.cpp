// The static state record, constant-initialised so that loading the library runs no code.
#include "plugin/effect_state.h"

#include <new>

constinit EffectState g_state;

void ResetEffectState() {
  g_state.~EffectState();
  new (&g_state) EffectState{};
}
