// tovix: the player. Only the batch mode exists so far.
#include <iostream>
#include <string>
#include <vector>

#include "player/batch.h"

int main(int argc, char** argv) {
  std::vector<std::string> arguments(argv + 1, argv + argc);
  return tessaran::player::RunCommandLine(arguments, std::cout, std::cerr);
}
