#pragma once
// Puts a set of new files into place all together or not at all. Each new
// file waits, complete and checked, under a temporary name in its target's
// folder; commit() renames them over their targets in order. If a rename
// fails, every target already replaced gets its old file back, and targets
// that did not exist before are removed again.

#include <QFile>
#include <QString>

#include <functional>
#include <vector>

struct StagedFile {
    QString target; // where the file belongs
    QString staged; // the new file, in the target's folder
};

class FileSwap {
public:
    // rename(from, to) replacing `to`; the default is POSIX rename().
    using RenameFn = std::function<bool(const QString& from, const QString& to)>;

    explicit FileSwap(RenameFn rename = {});

    // True when every staged file is in place. False (with `error`) when
    // the targets are as they were; the staged files are gone either way.
    bool commit(const std::vector<StagedFile>& files, QString* error);

    // Removes staged files that will not be committed.
    static void discard(const std::vector<StagedFile>& files);

private:
    RenameFn rename_;
};
