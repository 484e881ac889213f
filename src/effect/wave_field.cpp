// Wave field (placeholder).
#include "effect/wave_field.h"

int StepWaveField(VisModule*) { return 1; }
