#pragma once
// What the update tests share: a program folder in a temporary folder (so a
// name that escapes it lands where the test can see it), the settings file
// pointing at a local HTTP server, recorded boxes, profile writes and
// updater starts, and the whole check run through the About box.

#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "local_http_server.h"
#include "update/CAboutDlg.h"
#include "update/UpdateBoxes.h"
#include "update/UpdateDescription.h"
#include "update/UpgradeCheck.h"

struct ShownBox {
    std::string caption;
    std::string text;
    bool question = false;
};

class RecordingUpdateBoxes : public UpdateBoxes {
public:
    void information(const std::string& caption, const std::string& text) override
    {
        shown.push_back({caption, text, false});
    }
    bool askYesNo(const std::string& caption, const std::string& text) override
    {
        shown.push_back({caption, text, true});
        return answerYes;
    }

    bool answerYes = false;
    std::vector<ShownBox> shown;
};

inline QByteArray sha256Hex(const QByteArray& bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

// Every file below `root`, relative, sorted: what a test compares before and after.
inline QStringList filesBelow(const QString& root)
{
    QStringList out;
    const QDir base(root);
    std::function<void(const QString&)> walk = [&](const QString& path) {
        const QFileInfoList entries = QDir(path).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden
                                                               | QDir::System, QDir::Name);
        for (const QFileInfo& e : entries) {
            out << base.relativeFilePath(e.filePath()) + (e.isDir() && !e.isSymLink() ? QStringLiteral("/") : QString());
            if (e.isDir() && !e.isSymLink())
                walk(e.filePath());
        }
    };
    walk(root);
    return out;
}

class UpgradeRig : public testing::Test {
protected:
    UpgradeRig()
        : folder(top.filePath(QStringLiteral("program")))
    {
        QDir().mkpath(folder);
        writeFile(QString::fromLatin1(kSettingsFileName),
                  "[Update]\r\nBaseUrl=" + server.baseUrl().toLatin1() + "/\r\n");
        fakeUpdater = top.filePath(QStringLiteral("embedded-updater"));
        QFile f(fakeUpdater);
        f.open(QIODevice::WriteOnly);
        f.write("#!/bin/sh\nexit 0\n");
    }

    UpgradeCheckEnvironment environment()
    {
        UpgradeCheckEnvironment env;
        env.programFolder = folder;
        env.settingsFilePath = folder + u'/' + QLatin1String(kSettingsFileName);
        env.boxes = &boxes;
        env.writeProfile = [this](const char* key, int value) { profileWrites.emplace_back(key, value); };
        env.updaterResource = fakeUpdater;
        env.startUpdater = [this](const QString& program, const QString& workingDirectory) {
            starts.emplace_back(program, workingDirectory);
            return startSucceeds;
        };
        env.folderUpdatable = [this](const QString&) { return folderUpdatable; };
        env.now = [] { return QDateTime(QDate(2024, 3, 9), QTime(17, 5, 42)); };
        env.timeoutMs = timeoutMs;
        return env;
    }

    // Button 1034 of an About box over the rig.
    UpgradeOutcome runCheck()
    {
        CAboutDlg about(nullptr, environment(), [this] { ++mainWindowClosed; });
        QObject::connect(&about, &QDialog::finished, [this](int result) { aboutResult = result; });
        return about.OnUpgradeCheck();
    }

    std::string lastText() const { return boxes.shown.empty() ? std::string() : boxes.shown.back().text; }

    QString path(const QString& name) const { return folder + u'/' + name; }
    void writeFile(const QString& name, const QByteArray& bytes)
    {
        const QString p = path(name);
        QDir().mkpath(QFileInfo(p).absolutePath());
        QFile f(p);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << p.toStdString();
        f.write(bytes);
    }
    QByteArray readFile(const QString& name) const
    {
        QFile f(path(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

    QTemporaryDir top;
    QString folder;
    QString fakeUpdater;
    LocalHttpServer server;
    RecordingUpdateBoxes boxes;
    std::vector<std::pair<std::string, int>> profileWrites;
    std::vector<std::pair<QString, QString>> starts;
    bool startSucceeds = true;
    bool folderUpdatable = true;
    int timeoutMs = 5000;
    int mainWindowClosed = 0;
    int aboutResult = -1; // how the About box was closed; -1: it stays open
};
