#pragma once
// The option values written into a writer's configuration and one row of the
// target file list. Texts are code-page-949 bytes.

#include <cstdint>
#include <string>
#include <vector>

// Index into targetChoices.
enum TargetKind : std::int32_t {
    kTargetInFlash = 0,
    kTargetNand = 1,
};

struct TargetFileEntry {
    std::int32_t enabled = 0; // 1 when the row's "En" box is checked
    std::string fileName;     // bytes as the writer sent them
    std::int32_t sectorNo = 0;
    std::int32_t target = kTargetInFlash;
    std::int32_t fatFlag = 0;

    bool operator==(const TargetFileEntry&) const = default;
};

// The loaded values: what the settings file or a writer's configuration last
// said. The page's controls hold the current values; only the download speed
// keeps a current value of its own, because the slider cannot show values
// outside 1..10.
struct TargetSettings {
    std::string selectChip;
    std::string crystalFrequency;
    std::int32_t downloadSpeed = 1; // loaded
    std::int32_t currentDownloadSpeed = 1;
    std::string buzzer;
    std::string eraseEnable;
    std::string fatVerify;
};

// Everything the configuration text is built from, copied from the page.
struct ConfigSource {
    std::int32_t inFlashCount = 0;
    std::int32_t nandCount = 0;
    std::vector<TargetFileEntry> targetEntries;
    std::vector<TargetFileEntry> disabledEntries;
    std::int32_t downloadSpeed = 1; // the current value
    std::string buzzer;             // combo texts as shown ("ON", "OFF")
    std::string chip;
    std::string crystal;
    std::string fatVerify;
    std::string erase;
};
