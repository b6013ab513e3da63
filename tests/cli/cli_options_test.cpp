// The command line of vren-kesto: what is taken, and what is refused before
// any writer is touched.

#include <gtest/gtest.h>

#include "cli/CliOptions.h"

namespace {

struct Accepted {
    std::vector<std::string> args;
    CliCommand command;
    std::vector<int> writers;
    std::string file;   // save's file, or load's -o
    bool json, yes, noVerify;
};

TEST(CliOptions, CommandsWithTheirOptionsInAnyOrder)
{
    const Accepted cases[] = {
        {{"list"}, CliCommand::List, {}, "", false, false, false},
        {{"--json", "list"}, CliCommand::List, {}, "", true, false, false},
        {{"load", "-o", "a.ini"}, CliCommand::Load, {}, "a.ini", false, false, false},
        {{"load", "--output=b.ini", "--json"}, CliCommand::Load, {}, "b.ini", true, false, false},
        {{"save", "c.ini"}, CliCommand::Save, {}, "c.ini", false, false, false},
        {{"--writers", "4,1", "save", "c.ini", "--no-verify"}, CliCommand::Save, {1, 4}, "c.ini", false, false, true},
        {{"save", "--writers=2,2,10", "--", "-odd.ini"}, CliCommand::Save, {2, 10}, "-odd.ini", false, false, false},
        {{"init", "--yes"}, CliCommand::Init, {}, "", false, true, false},
        {{"init", "-y", "--writers", "3"}, CliCommand::Init, {3}, "", false, true, false},
    };
    for (const Accepted& c : cases) {
        std::string error;
        const auto options = parseCliArguments(c.args, error);
        ASSERT_TRUE(options) << c.args[0] << ": " << error;
        EXPECT_EQ(options->command, c.command);
        EXPECT_EQ(options->writers, c.writers);
        EXPECT_EQ(c.command == CliCommand::Save ? options->configFile : options->outputFile, c.file);
        EXPECT_EQ(options->json, c.json);
        EXPECT_EQ(options->yes, c.yes);
        EXPECT_EQ(options->noVerify, c.noVerify);
    }
}

TEST(CliOptions, BadUsageIsRefusedWithAReason)
{
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"format"},
        {"list", "extra"},
        {"save"},
        {"save", "a.ini", "b.ini"},
        {"save", "a.ini", "--writers"},
        {"save", "a.ini", "--writers", "0"},
        {"save", "a.ini", "--writers", "11"},
        {"save", "a.ini", "--writers", "1,,2"},
        {"save", "a.ini", "--writers", "1x"},
        {"init", "--writers", "-1"},
        {"list", "--writers", "1"}, // options of another command are never ignored
        {"load", "--writers", "1"},
        {"save", "a.ini", "-o", "b.ini"},
        {"save", "a.ini", "--yes"},
        {"init", "--no-verify"},
        {"load", "-o"},
        {"load", "--output="},
        {"list", "--frobnicate"},
    };
    for (const auto& args : cases) {
        std::string error;
        EXPECT_FALSE(parseCliArguments(args, error)) << (args.empty() ? "(nothing)" : args[0]);
        EXPECT_FALSE(error.empty());
    }
}

TEST(CliOptions, HelpAndVersionNeedNoCommand)
{
    std::string error;
    EXPECT_TRUE(parseCliArguments({"--help"}, error)->help);
    EXPECT_TRUE(parseCliArguments({"save", "-h"}, error)->help);
    EXPECT_TRUE(parseCliArguments({"--version"}, error)->version);
}

} // namespace
