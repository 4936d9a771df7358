#include <iostream>

#include "tools/vsthost/Commands.h"

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    return vsthost::RunCommand(args, std::cout, std::cerr);
}
