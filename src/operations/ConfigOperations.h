#pragma once
// Config Load and Config Save on the writers: the protocol operations with
// their log lines, and the middles of the two workers.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "config/ConfigText.h"
#include "config/TargetSettings.h"
#include "operations/OperationRunner.h"

// The name list with its log lines. `out` holds the names as received.
OperationStatus Kesto_FileNameLoad(KestoProtocol& protocol, MessageLog& log, int dev, FileNameList& out);

// Reads the configuration text and parses it into `configText`, `settings`
// and `targetEntries` (which keep what they held where the text says
// nothing). OS_CONFIG_WRONG for an empty or malformed text. `rawText`, when
// given, receives the text as read, whether it parses or not.
OperationStatus Kesto_ConfigLoad(KestoProtocol& protocol, MessageLog& log, int dev, ConfigText& configText,
                                 TargetSettings& settings, std::vector<TargetFileEntry>& targetEntries,
                                 std::string* rawText = nullptr);

// Sends the lines (each as a line packet) between CMD_CONFIG_WRITE and CMD_END.
OperationStatus Kesto_ConfigSave(KestoProtocol& protocol, MessageLog& log, int dev,
                                 const std::vector<std::string>& lines);

// Reads writer `dev`'s configuration back and compares it byte for byte with
// `lines` as sent (each followed by CR LF). OS_SUCCESS when equal, with the
// "Verify OK!" line; OS_VERIFY_ERROR when it differs or the writer cannot
// give it (the line names the first differing byte); a transfer that failed
// keeps its USB status.
OperationStatus Kesto_ConfigVerify(KestoProtocol& protocol, MessageLog& log, int dev,
                                   const std::vector<std::string>& lines);

// True for the name the writer keeps its configuration under: the first ten
// characters are "config.ini" (so a backup "config.ini.bak" counts too).
bool isConfigFileName(const std::string& name);

// What a Config Load hands back to the page, which fills itself from it.
struct ConfigLoadResult {
    std::vector<std::string> names; // stored names, in the writer's order (bytes as sent)
    bool loaded = false;            // a configuration was read and taken
    std::string text;               // only when loaded: the configuration text as the writer sent it
    // Only when loaded: what the configuration said.
    ConfigText configText;
    TargetSettings settings;
    std::vector<TargetFileEntry> targetEntries;
};

// What the Config Load worker starts from, copied from the page: the parse
// keeps the page's values where the text says nothing.
struct ConfigLoadJob {
    ConfigText configText;
    TargetSettings settings;
};

// The Config Load worker's steps (writer 1 only): the name list, the
// configuration file, its text. `deliver` gets the result on the worker's
// thread, before the finish; it does not run when the load fails.
OperationMiddle ConfigLoadMiddle(ConfigLoadJob job, std::function<void(ConfigLoadResult)> deliver);

// What every Config Save worker sends: built once, before the first worker
// starts, and never changed while any of them sends it.
struct ConfigSaveJob {
    std::vector<std::string> lines; // without their CR LF
    bool verifyAfterSave = true;    // read the configuration back and compare
};

// The SHA-256 (lower-case hex) of the text the lines make on the writer,
// each followed by CR LF: what a save's result record names.
std::string sentTextSha256(const std::vector<std::string>& lines);

// The Config Save worker's steps: the job's lines to the worker's writer,
// then, if the job asks for it, the read-back check.
OperationMiddle ConfigSaveMiddle(std::shared_ptr<const ConfigSaveJob> job);
