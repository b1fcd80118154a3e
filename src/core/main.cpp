// The game's entry point; everything it does lives in the core library.
#include "core/startup.h"

int main(int argc, char **argv) { return game_main(argc, argv); }
