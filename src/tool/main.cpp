#include <iostream>

#include "tool/tool_commands.h"

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    std::vector<std::string> args(argv + 1, argv + argc);
    const int status = lectorix::RunTool(args, std::cout, std::cerr);
    std::cout.flush();
    return status;
}
