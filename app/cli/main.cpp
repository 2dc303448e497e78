// vzflash: the updater's command-line face.
#include "app/cli/inspect_commands.h"

#include <CLI/CLI.hpp>

#include <iostream>

int main(int argc, char** argv) {
    CLI::App app{"vzflash: firmware updater for Vorna-Zadod devices"};
    app.require_subcommand(1);

    std::string hexFile, first, last;
    auto* hexsum =
        app.add_subcommand("hexsum", "Print the 16-bit image sum of an Intel HEX file over a range");
    hexsum->add_option("FILE", hexFile, "Intel HEX file")->required();
    hexsum->add_option("FIRST", first, "First address, hexadecimal")->required();
    hexsum->add_option("LAST", last, "Last address, hexadecimal")->required();

    std::string effectFile;
    auto* effect = app.add_subcommand("effect", "Print the command each Effect file line becomes");
    effect->add_option("FILE", effectFile, "Effect file")->required();

    CLI11_PARSE(app, argc, argv);

    if (*hexsum) return vz::cli::RunHexSum(hexFile, first, last, std::cout, std::cerr);
    if (*effect) return vz::cli::RunEffect(effectFile, std::cout, std::cerr);
    return 2;
}
