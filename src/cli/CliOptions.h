#pragma once
// The command line of vren-kesto: what to do, to which writers, and how to
// report it.

#include <optional>
#include <string>
#include <vector>

enum class CliCommand { None, List, Load, Save, Init };

struct CliOptions {
    CliCommand command = CliCommand::None;
    bool help = false;
    bool version = false;
    bool json = false;     // one JSON object per writer on standard output
    bool yes = false;      // init: no question asked
    bool noVerify = false; // save: no read-back check
    std::string outputFile; // load: where the configuration text goes (empty: standard output)
    std::string configFile; // save: the config.ini to send
    // Writer numbers as the log shows them (Dev01 = 1), ascending, each once;
    // empty: every listed writer.
    std::vector<int> writers;
};

// Reads the arguments after the program name. Options may stand before or
// after the command. On bad usage: nullopt, with `error` saying why.
std::optional<CliOptions> parseCliArguments(const std::vector<std::string>& args, std::string& error);

// The text of --help.
std::string cliUsage();
