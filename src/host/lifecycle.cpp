// Config, Init and Quit (placeholder until the display lands).
#include "host/lifecycle.h"

void Config(VisModule*) {}
int Init(VisModule*) { return 1; }
void Quit(VisModule*) { FreeTableSet(); }
