#pragma once
// Version texts of the update description ("2.10.9176.9", "1,24,9176,46").

#include <QString>

// Compares two versions part by part: parts are separated by '.' or ',',
// blanks around a part are ignored, a missing or empty part counts as 0, and
// two parts that are both decimal numbers compare as numbers of any length
// ("2.10" is newer than "2.9"). Any other pair of parts compares as text.
// Returns <0, 0 or >0 as `a` is older than, equal to or newer than `b`.
int compareVersions(const QString& a, const QString& b);
