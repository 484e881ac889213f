// Entry of the `tavelmir` command-line host.
#include <unistd.h>

#include <iostream>

#include "cli_app.h"

int main(int argc, char** argv) { return RunTavelmir(argc, argv, std::cout, std::cerr, isatty(2) != 0); }
