#pragma once
// vren-kesto: the writer operations of the window, driven from a command
// line. The same session, runner, workers and log lines; the results go to
// standard output (text or JSON), the log lines to standard error.
//
// Needs a QCoreApplication on the calling thread: what the workers hand
// back comes through its event loop.

#include <QString>

#include <cstdio>
#include <functional>
#include <string>

#include "cli/CliOptions.h"
#include "core/Clock.h"
#include "operations/WriterSession.h"

// Exit statuses.
constexpr int kCliOk = 0;
constexpr int kCliWriterFailed = 1;
constexpr int kCliUsage = 2; // also: a file that would not load, no writer connected
constexpr int kCliCannotOpen = 3;

struct CliEnvironment {
    WriterSession::BackendFactory makeBackend;
    std::FILE* out = stdout; // results only
    std::FILE* err = stderr; // log lines, messages, the progress line
    bool errIsTerminal = false;
    bool inIsTerminal = false;
    // One line typed at the terminal (init's question); empty at its end.
    std::function<std::string()> readAnswer;
    // Where the settings file Config-VREN_Kesto_Configurator.ini is looked for.
    QString programFolder;
    // The audit log's folder; empty: the user's data folder, as the window's.
    QString logFolder;
    // What the initialization's waits sleep on.
    const Clock* clock = &Clock::steady();
};

// Runs the command; returns the exit status.
int runKestoCli(const CliOptions& options, const CliEnvironment& environment);

// Parses the arguments after the program name and runs them: usage errors
// and --help included.
int runKestoCli(const std::vector<std::string>& args, const CliEnvironment& environment);

// The whole program on the given back end: the application object, standard
// output kept for results (what the back ends print goes to standard error),
// the terminal, the user's data folder; `adjust` may change the environment
// before the command runs.
int kestoCliMain(int argc, char** argv, WriterSession::BackendFactory makeBackend,
                 const std::function<void(CliEnvironment&)>& adjust = {});
