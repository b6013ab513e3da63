#pragma once
// Reads back what a log pane's document holds: one entry per run of text
// with one character format, line by line.

#include "core/MessageLog.h"

#include <QColor>
#include <QFont>
#include <QString>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFragment>

#include <vector>

namespace testsupport {

struct Run {
    QString text;
    Rgb color;
    bool bold;
    bool italic;
    bool underline;
};

inline Rgb toRgb(const QColor& c)
{
    return rgb(std::uint8_t(c.red()), std::uint8_t(c.green()), std::uint8_t(c.blue()));
}

// The runs of each line (block); an empty line has no runs.
inline std::vector<std::vector<Run>> linesOf(const QTextDocument& document)
{
    std::vector<std::vector<Run>> lines;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        std::vector<Run>& runs = lines.emplace_back();
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const QTextCharFormat format = fragment.charFormat();
            runs.push_back({fragment.text(), toRgb(format.foreground().color()),
                            format.fontWeight() > QFont::Normal, format.fontItalic(), format.fontUnderline()});
        }
    }
    return lines;
}

} // namespace testsupport
