// `vzflash convert`: a vendor's standard SVF file made into an Effect file the
// device plays line by line.
#pragma once

#include <iosfwd>
#include <string>

namespace CLI {
class App;
}

namespace vz::cli {

struct ConvertOptions {
    std::string input;
    std::string output;
    std::string map;  // empty: no map file
    double tckHz = 0; // 0: the file's FREQUENCY
    bool idleRuntest = false;
    int traceEvery = 100;
};

// Registers the subcommand; `options` is filled in when it is parsed.
CLI::App* AddConvertCommand(CLI::App& app, ConvertOptions& options);

// 0 when OUT was written; 1 on a problem (nothing is written then).
int RunConvert(const ConvertOptions& options, std::ostream& out, std::ostream& err);

} // namespace vz::cli
