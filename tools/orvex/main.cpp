// orvex: a command-line VST 2 host. Lists what a plug-in reports about itself and renders
// WAV files through it.
#include "CommandLine.h"
#include "Commands.h"

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    cli::Options options;
    std::string error;
    if (!cli::CommandLine::parse(args, options, error)) {
        std::cerr << "orvex: " << error << "\n\n" << cli::CommandLine::usage();
        return cli::kExitUsage;
    }
    const int code = cli::Commands::run(options, std::cout, std::cerr);
    std::cout.flush();
    return code;
}
