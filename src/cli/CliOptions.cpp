#include "cli/CliOptions.h"

#include <algorithm>
#include <charconv>

#include "transport/UsbTransport.h"

namespace {

struct CommandName {
    const char* name;
    CliCommand command;
};
constexpr CommandName kCommands[] = {
    {"list", CliCommand::List},
    {"load", CliCommand::Load},
    {"save", CliCommand::Save},
    {"init", CliCommand::Init},
};

// "1,4" -> {1, 4}: numbers 1..10, sorted, each once.
bool parseWriterList(const std::string& text, std::vector<int>& out, std::string& error)
{
    out.clear();
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = text.find(',', start);
        const std::string item = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        int n = 0;
        const auto [end, ec] = std::from_chars(item.data(), item.data() + item.size(), n);
        if (item.empty() || ec != std::errc() || end != item.data() + item.size() || n < 1 || n > kMaxDevices) {
            error = "--writers takes writer numbers 1.." + std::to_string(kMaxDevices) + " separated by commas, not \""
                + text + "\"";
            return false;
        }
        out.push_back(n);
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return true;
}

} // namespace

std::optional<CliOptions> parseCliArguments(const std::vector<std::string>& args, std::string& error)
{
    CliOptions options;
    std::vector<std::string> positional;
    bool writersGiven = false;
    bool outputGiven = false;

    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        // "--name=value" or "--name value".
        auto value = [&](const std::string& name, std::string& out) -> bool {
            if (arg.size() > name.size() && arg.compare(0, name.size() + 1, name + "=") == 0) {
                out = arg.substr(name.size() + 1);
                return true;
            }
            if (i + 1 >= args.size()) {
                error = arg + " needs a value";
                return false;
            }
            out = args[++i];
            return true;
        };
        auto isOption = [&](const std::string& name) {
            return arg == name || (arg.size() > name.size() && arg.compare(0, name.size() + 1, name + "=") == 0);
        };

        if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--version") {
            options.version = true;
        } else if (arg == "--json") {
            options.json = true;
        } else if (arg == "--yes" || arg == "-y") {
            options.yes = true;
        } else if (arg == "--no-verify") {
            options.noVerify = true;
        } else if (isOption("--writers")) {
            std::string list;
            if (!value("--writers", list) || !parseWriterList(list, options.writers, error))
                return std::nullopt;
            writersGiven = true;
        } else if (arg == "-o" || isOption("--output")) {
            if (!value(arg == "-o" ? "-o" : "--output", options.outputFile))
                return std::nullopt;
            if (options.outputFile.empty()) {
                error = "the output file name is empty";
                return std::nullopt;
            }
            outputGiven = true;
        } else if (arg == "--") {
            positional.insert(positional.end(), args.begin() + std::ptrdiff_t(i) + 1, args.end());
            break;
        } else if (arg.size() > 1 && arg[0] == '-') {
            error = "unknown option " + arg;
            return std::nullopt;
        } else {
            positional.push_back(arg);
        }
    }
    if (options.help || options.version)
        return options;

    if (positional.empty()) {
        error = "no command given";
        return std::nullopt;
    }
    const auto command = std::find_if(std::begin(kCommands), std::end(kCommands),
                                      [&](const CommandName& c) { return positional[0] == c.name; });
    if (command == std::end(kCommands)) {
        error = "unknown command \"" + positional[0] + "\"";
        return std::nullopt;
    }
    options.command = command->command;
    const std::size_t operands = positional.size() - 1;
    const std::size_t wanted = options.command == CliCommand::Save ? 1 : 0;
    if (operands != wanted) {
        error = options.command == CliCommand::Save ? "save takes one configuration file"
                                                    : std::string(command->name) + " takes no file";
        return std::nullopt;
    }
    if (options.command == CliCommand::Save)
        options.configFile = positional[1];

    // Options that belong to one command only are refused elsewhere, so that
    // a mistyped command line never does something else than was meant.
    if (writersGiven && options.command != CliCommand::Save && options.command != CliCommand::Init) {
        error = "--writers is for save and init";
        return std::nullopt;
    }
    if (outputGiven && options.command != CliCommand::Load) {
        error = "-o is for load";
        return std::nullopt;
    }
    if (options.yes && options.command != CliCommand::Init) {
        error = "--yes is for init";
        return std::nullopt;
    }
    if (options.noVerify && options.command != CliCommand::Save) {
        error = "--no-verify is for save";
        return std::nullopt;
    }
    return options;
}

std::string cliUsage()
{
    return "Usage: vren-kesto [--json] COMMAND [OPTIONS]\n"
           "\n"
           "Prepares VREN Kesto writers (USB 2F1A:0018) without the window.\n"
           "\n"
           "Commands:\n"
           "  list                      one line per writer: number, USB location, contact,\n"
           "                            identification, firmware version (tab-separated)\n"
           "  load [-o FILE]            Config Load from writer 1: its config.ini (bytes\n"
           "                            unchanged) to FILE or standard output; the stored\n"
           "                            file names on standard error\n"
           "  save FILE [--writers L]   Config Save of the config.ini in FILE to every\n"
           "                            listed writer, or to those in L; FILE is checked\n"
           "                            first and nothing is written when it would not load;\n"
           "                            each writer's configuration is read back and compared\n"
           "  init [--yes] [--writers L]\n"
           "                            file-system initialization: erases every stored file;\n"
           "                            asks first unless --yes (refused without a terminal)\n"
           "\n"
           "Options:\n"
           "  --json                    one JSON object per writer on standard output\n"
           "                            (load without -o puts the text into it)\n"
           "  --writers L               writer numbers as the log shows them (Dev01 = 1),\n"
           "                            separated by commas, e.g. --writers 1,4\n"
           "  --no-verify               save: no read-back check\n"
           "  -o, --output FILE         load: write the configuration text to FILE\n"
           "  -y, --yes                 init: do not ask\n"
           "  -h, --help                this text\n"
           "  --version                 the program's version\n"
           "\n"
           "The program's log lines go to standard error and to the day's log file.\n"
           "Exit status: 0 every writer succeeded, 1 a writer failed, 2 bad usage, a file\n"
           "that would not load, or no writer connected, 3 the writers cannot be opened.\n";
}
