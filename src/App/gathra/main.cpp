#include "App/gathra/Cli.h"

#include <iostream>

int main(int argc, char** argv) {
    return gathra::RunGathraCli(argc, argv, std::cout, std::cerr);
}
