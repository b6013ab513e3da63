#include "FileSwap.h"

#include <QFileInfo>
#include <QRandomGenerator>

#include <cstdio>
#include <utility>

namespace {

bool posixRename(const QString& from, const QString& to)
{
    return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

bool present(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

// A free name beside `target` for its old file while the new one moves in.
QString backupName(const QString& target)
{
    const QFileInfo info(target);
    for (;;) {
        const QString name = info.absolutePath() + QStringLiteral("/.") + info.fileName() + QStringLiteral(".old-")
                             + QString::number(QRandomGenerator::global()->generate(), 16);
        if (!present(name))
            return name;
    }
}

struct Replaced {
    QString target;
    QString backup; // empty: there was no old file
};

} // namespace

FileSwap::FileSwap(RenameFn rename)
    : rename_(rename ? std::move(rename) : RenameFn(posixRename))
{
}

void FileSwap::discard(const std::vector<StagedFile>& files)
{
    for (const StagedFile& file : files)
        QFile::remove(file.staged);
}

bool FileSwap::commit(const std::vector<StagedFile>& files, QString* error)
{
    std::vector<Replaced> done;
    std::size_t next = 0;
    bool ok = true;
    for (; next < files.size(); ++next) {
        const StagedFile& file = files[next];
        Replaced replaced{file.target, {}};
        if (present(file.target)) {
            replaced.backup = backupName(file.target);
            if (!rename_(file.target, replaced.backup)) {
                if (error)
                    *error = QStringLiteral("cannot move %1 aside").arg(file.target);
                ok = false;
                break;
            }
        }
        if (!rename_(file.staged, file.target)) {
            if (!replaced.backup.isEmpty())
                rename_(replaced.backup, file.target);
            if (error)
                *error = QStringLiteral("cannot put %1 into place").arg(file.target);
            ok = false;
            break;
        }
        done.push_back(std::move(replaced));
    }

    if (ok) {
        for (const Replaced& r : done)
            if (!r.backup.isEmpty())
                QFile::remove(r.backup);
        return true;
    }

    // Back to the old files, newest change first.
    for (auto it = done.rbegin(); it != done.rend(); ++it) {
        if (it->backup.isEmpty())
            QFile::remove(it->target);
        else
            rename_(it->backup, it->target);
    }
    for (std::size_t i = next; i < files.size(); ++i)
        QFile::remove(files[i].staged);
    return false;
}
