#pragma once
// The target chip models and what selecting one sets on the page.

#include <array>
#include <string_view>

enum class ChipVerify { Unchanged, Enable, Disable };

struct ChipRule {
    std::string_view name;
    std::string_view crystal; // empty: the crystal field keeps its text
    ChipVerify verify;
    bool crystalEditable;
    bool verifyEnabledKept; // the FAT verify list keeps its enabled state
    bool eraseEditable;
    bool sectorSizeCaptions; // "Sector size :" / "byte", FAT verify hidden
};

// In the order of the "Select Chip :" list.
inline constexpr std::array<ChipRule, 10> kChipRules{{
    {"moLark", "10000000", ChipVerify::Enable, true, false, true, false},
    {"moLarkL", "2000000", ChipVerify::Enable, true, false, true, false},
    {"moVesa", "12000000", ChipVerify::Enable, true, false, true, false},
    {"BOREAL2", "12000000", ChipVerify::Enable, true, false, true, false},
    {"SOLVAN", "11289600", ChipVerify::Enable, true, false, true, false},
    {"HERON", "00000000", ChipVerify::Enable, false, false, false, false},
    {"QX7", "00004096", ChipVerify::Disable, true, false, true, true},
    {"PLX4410", "16000000", ChipVerify::Enable, true, false, true, false},
    {"PLX4420", "16000000", ChipVerify::Enable, true, false, true, false},
    {"Other", "00000000", ChipVerify::Unchanged, false, true, true, false},
}};

// What an empty chip (no row selected) applies: nothing but the common steps.
inline constexpr ChipRule kNoChipRule{"", "", ChipVerify::Unchanged, true, false, true, false};

// Exact, case-sensitive; kNoChipRule for a name that is no model.
inline const ChipRule& chipRule(std::string_view name)
{
    for (const ChipRule& rule : kChipRules)
        if (rule.name == name)
            return rule;
    return kNoChipRule;
}
