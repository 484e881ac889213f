// Render (placeholder).
#include "display/render.h"

int Render(VisModule*) { return 1; }
