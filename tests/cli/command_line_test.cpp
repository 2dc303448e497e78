#include "app/cli/command_line.h"

#include <gtest/gtest.h>

#include <sstream>

namespace vz::cli {
namespace {

struct Parsed {
    CommandLine line;
    std::string out;
    std::string err;
};

Parsed Parse(std::vector<const char*> args) {
    args.insert(args.begin(), "vzflash");
    std::ostringstream out, err;
    Parsed parsed{ParseCommandLine(static_cast<int>(args.size()), args.data(), out, err), "", ""};
    parsed.out = out.str();
    parsed.err = err.str();
    return parsed;
}

TEST(CommandLine, ComponentsTakeOneValueAndLeaveTheScript) {
    const Parsed one = Parse({"run", "--mode", "manual", "--components", "prom1", "path/script.ini"});
    ASSERT_EQ(one.line.command, CommandLine::Command::Run) << one.err;
    EXPECT_EQ(one.line.run.components, std::vector<std::string>{"prom1"});
    EXPECT_EQ(one.line.run.script, "path/script.ini");
    const Parsed listed = Parse({"run", "--components", "keyb,prom2", "--components", "prom1"});
    EXPECT_EQ(listed.line.run.components, (std::vector<std::string>{"keyb", "prom2", "prom1"}));
    EXPECT_EQ(Parse({"run"}).line.run.components, (std::vector<std::string>{"keyb", "prom1", "prom2"}));
}

TEST(CommandLine, EveryBadArgumentIsStatusThreeWithOneLine) {
    for (const std::vector<const char*>& args :
         std::vector<std::vector<const char*>>{{"run", "--device", "FOO"},
                                               {"run", "--speed", "medium"},
                                               {"run", "--components", "foo"},
                                               {"run", "--timeout", "-1"},
                                               {"run", "--timeout", "soon"},
                                               {"run", "--frobnicate"},
                                               {"hexsum", "a.hex"},
                                               {}}) {
        const Parsed parsed = Parse(args);
        EXPECT_EQ(parsed.line.command, CommandLine::Command::None);
        EXPECT_EQ(parsed.line.exitCode, kBadArguments) << parsed.err;
        EXPECT_EQ(std::count(parsed.err.begin(), parsed.err.end(), '\n'), 1) << parsed.err;
        EXPECT_LT(parsed.err.size(), 200u) << parsed.err;
    }
    EXPECT_NE(Parse({"run", "--timeout", "-1"}).err.find("0 or more"), std::string::npos);
}

TEST(CommandLine, DeviceTakesAutoAndTheMenuModelsOnly) {
    for (const char* device : {"auto", "KRA350", "KRB350", "KRC350", "KRD350", "KRT120"}) {
        EXPECT_EQ(Parse({"run", "--device", device}).line.run.device, device);
        EXPECT_EQ(Parse({"check", "--device", device}).line.check.device, device);
    }
    for (const char* device : {"KRA350_256", "KRB350_256", "kra350", ""})
        EXPECT_EQ(Parse({"run", "--device", device}).line.exitCode, kBadArguments) << device;
}

TEST(CommandLine, VersionAndHelpEndWell) {
    const Parsed version = Parse({"--version"});
    EXPECT_EQ(version.line.exitCode, 0);
    EXPECT_EQ(version.line.command, CommandLine::Command::None);
    EXPECT_EQ(version.out, "vzflash 2.6.0.6\n");
    const Parsed help = Parse({"run", "--help"});
    EXPECT_EQ(help.line.exitCode, 0);
    EXPECT_NE(help.out.find("--components"), std::string::npos);
}

} // namespace
} // namespace vz::cli
