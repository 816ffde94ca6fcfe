// tamso-calc: the dose calculation of the exposure-condition screen from the command line.

#include "tools/calc/calccli.h"

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    return tamso::calc::runCalculator(args, std::cout, std::cerr);
}
