// The companion updater, run for real against the local server: it replaces
// the files of the description (checking their sha256), writes the local
// update.xml, starts the configurator again, and the next check finds the
// program up to date. Any failure leaves the installed files as they were.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QProcess>

#include <csignal>
#include <sys/types.h>

#include "FileSwap.h"
#include "test_support.h"
#include "update_rig.h"

#ifndef KESTO_UPDATER_PATH
#error "the tests need the path of the built updater"
#endif

namespace {

const QByteArray kOldStandIn = "#!/bin/sh\necho v1 >> restarted.txt\n";
const QByteArray kNewStandIn = "#!/bin/sh\necho v2 >> restarted.txt\n";
const QByteArray kOldData = "old data";
const QByteArray kNewData = QByteArray(300000, 'n') + "new data";
const QByteArray kLocalDescription = "<update><file name='VREN_Kesto_Configurator' version='1.0'/>"
                                     "<file name='data.bin' version='1.9'/></update>";

class UpdaterRun : public UpgradeRig {
protected:
    UpdaterRun()
    {
        writeFile(QStringLiteral("VREN_Kesto_Configurator"), kOldStandIn);
        QFile::setPermissions(path(QStringLiteral("VREN_Kesto_Configurator")),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup);
        writeFile(QStringLiteral("data.bin"), kOldData);
        writeFile(QStringLiteral("update.xml"), kLocalDescription);
        server.setFile(QStringLiteral("VREN_Kesto_Configurator"), kNewStandIn);
        server.setFile(QStringLiteral("data.bin"), kNewData);
        server.setFile(QStringLiteral("sub/added.txt"), "added");
    }
    ~UpdaterRun() override
    {
        // A detached updater that is still running (a failed test) goes.
        for (const qint64 pid : pids)
            if (pid > 0 && ::kill(pid_t(pid), 0) == 0)
                ::kill(pid_t(pid), SIGKILL);
    }

    QByteArray description(const QByteArray& dataSha) const
    {
        return "<update>"
               "<file name='VREN_Kesto_Configurator' version='2.0' sha256='" + sha256Hex(kNewStandIn).toUpper() + "'/>"
               "<group><file name='data.bin' version='2.10' sha256='" + dataSha + "'/></group>"
               "<file name='sub/added.txt' version='1'/>"
               "<file name='../escape' version='1'/>"
               "</update>";
    }

    // Files the updater must never leave behind.
    QStringList leftovers() const
    {
        QStringList out;
        for (const QString& f : filesBelow(folder))
            if (f.contains(QStringLiteral(".part")) || f.contains(QStringLiteral(".old-")) || f.contains(QStringLiteral(".lock")))
                out << f;
        return out;
    }

    // The updater from the build, in the program folder, run to its end.
    int runUpdater()
    {
        QFile::remove(path(QStringLiteral("AutoUpdator")));
        EXPECT_TRUE(QFile::copy(QStringLiteral(KESTO_UPDATER_PATH), path(QStringLiteral("AutoUpdator"))));
        QProcess updater;
        updater.setWorkingDirectory(folder);
        updater.setProcessChannelMode(QProcess::ForwardedChannels);
        updater.start(path(QStringLiteral("AutoUpdator")), {QStringLiteral("--close-on-failure")});
        if (!updater.waitForFinished(60000)) {
            updater.kill();
            updater.waitForFinished(5000);
            ADD_FAILURE() << "the updater did not end";
            return -1;
        }
        return updater.exitCode();
    }

    bool waitForRestart(const QByteArray& expected)
    {
        return testsupport::waitUntil([&] { return readFile(QStringLiteral("restarted.txt")) == expected; }, 60000);
    }

    std::vector<qint64> pids;
};

TEST_F(UpdaterRun, FromTheCheckThroughTheUpdaterBackToAnUpToDateProgram)
{
    server.setDescription(description(sha256Hex(kNewData)));
    boxes.answerYes = true;
    UpgradeCheckEnvironment env = environment();
    env.updaterResource = QStringLiteral(":/update/AutoUpdator"); // the real one
    env.startUpdater = [this](const QString& program, const QString& workingDirectory) {
        qint64 pid = 0;
        const bool started = QProcess::startDetached(program, {}, workingDirectory, &pid);
        pids.push_back(pid);
        return started;
    };
    CAboutDlg about(nullptr, env, [this] { ++mainWindowClosed; });
    ASSERT_EQ(about.OnUpgradeCheck(), UpgradeOutcome::HandedOver);
    EXPECT_EQ(lastText(), "Current Program is not the latest.\r\nDo you want to upgrade?\r\n\r\n"
                          "[ VREN_Kesto_Configurator ] File - Version Up[ 2.0 ]\r\n"
                          "[ data.bin ] File - Version Up[ 2.10 ]\r\n"
                          "[ sub/added.txt ] File - Added\r\n"
                          "[ sub/added.txt ] File - Version Up[ 1 ]\r\n"
                          "[ ../escape ] File - Refused: outside the program folder\r\n");

    // The new stand-in of the configurator was started: everything is in place.
    ASSERT_TRUE(waitForRestart("v2\n")) << readFile(QStringLiteral("restarted.txt")).toStdString();
    EXPECT_EQ(readFile(QStringLiteral("data.bin")), kNewData);
    EXPECT_EQ(readFile(QStringLiteral("sub/added.txt")), "added");
    EXPECT_TRUE(QFile::permissions(path(QStringLiteral("VREN_Kesto_Configurator"))) & QFile::ExeOwner);
    EXPECT_FALSE(QFile::exists(top.filePath(QStringLiteral("escape"))));
    EXPECT_FALSE(server.requests().join(u' ').contains(QStringLiteral("escape")));
    const auto local = parseUpdateDescription(readFile(QStringLiteral("update.xml")));
    ASSERT_TRUE(local);
    ASSERT_EQ(local->size(), 3u);
    EXPECT_EQ((*local)[1].name, QStringLiteral("data.bin"));
    EXPECT_EQ((*local)[1].version, QStringLiteral("2.10"));
    EXPECT_TRUE(testsupport::waitUntil([&] { return leftovers().isEmpty(); }, 5000)) << leftovers().join(u' ').toStdString();

    // The next check finds nothing newer (the refused name is still named).
    boxes = {};
    EXPECT_EQ(runCheck(), UpgradeOutcome::Latest);
    EXPECT_EQ(lastText(), "Current Program is the latest.\r\n\r\n"
                          "[ ../escape ] File - Refused: outside the program folder\r\n");
}

struct UpdaterFailure {
    const char* what;
    QByteArray dataSha;
    bool missingFile; // sub/added.txt is not on the server
};

class UpdaterFailures : public UpdaterRun, public testing::WithParamInterface<UpdaterFailure> {};

TEST_P(UpdaterFailures, ReplaceNothingAndStartTheOldProgramAgain)
{
    const UpdaterFailure& c = GetParam();
    server.setDescription(description(c.dataSha));
    if (c.missingFile)
        server.set(QStringLiteral("/download/VREN_Kesto/sub/added.txt"), LocalHttpServer::Answer{404, "gone"});

    EXPECT_EQ(runUpdater(), 1) << c.what;

    EXPECT_EQ(readFile(QStringLiteral("VREN_Kesto_Configurator")), kOldStandIn);
    EXPECT_EQ(readFile(QStringLiteral("data.bin")), kOldData);
    EXPECT_EQ(readFile(QStringLiteral("update.xml")), kLocalDescription);
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("sub")))) << "a folder made for a new file stays only with it";
    EXPECT_TRUE(leftovers().isEmpty()) << leftovers().join(u' ').toStdString();
    EXPECT_TRUE(waitForRestart("v1\n"));
}

INSTANTIATE_TEST_SUITE_P(Table, UpdaterFailures, testing::Values(
    UpdaterFailure{"wrong sha256", QByteArray(64, 'a'), false},
    UpdaterFailure{"a sha256 that is not one", "xyz", false},
    UpdaterFailure{"the last file cannot be downloaded", sha256Hex(kNewData), true}),
    [](const testing::TestParamInfo<UpdaterFailure>& info) { return "case" + std::to_string(info.index); });

TEST_F(UpdaterRun, ADescriptionThatIsNotXmlChangesNothing)
{
    server.setDescription("not xml");
    const QStringList before = filesBelow(folder);
    EXPECT_EQ(runUpdater(), 1);
    EXPECT_TRUE(waitForRestart("v1\n"));
    QStringList after = filesBelow(folder);
    after.removeAll(QStringLiteral("restarted.txt"));
    after.removeAll(QStringLiteral("AutoUpdator"));
    EXPECT_EQ(after, before);
}

TEST_F(UpdaterRun, TenThousandRefusedNamesAndOneFile)
{
    QByteArray xml = "<update><file name='data.bin' version='3' sha256='" + sha256Hex(kNewData) + "'/>";
    for (int i = 0; i < 10000; ++i)
        xml += "<file name='../x" + QByteArray::number(i) + "' version='1'/>";
    server.setDescription(xml + "</update>");

    EXPECT_EQ(runUpdater(), 0);
    EXPECT_EQ(readFile(QStringLiteral("data.bin")), kNewData);
    EXPECT_EQ(server.requests().size(), 2) << "the description and data.bin only";
    EXPECT_TRUE(waitForRestart("v1\n"));
}

class FileSwapRollback : public testing::Test {
protected:
    void write(const QString& name, const QByteArray& bytes)
    {
        QFile f(dir.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QByteArray read(const QString& name)
    {
        QFile f(dir.filePath(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    QTemporaryDir dir;
};

TEST_F(FileSwapRollback, AFailedRenameBringsEveryOldFileBack)
{
    write(QStringLiteral("a"), "old a");
    write(QStringLiteral("c"), "old c");
    write(QStringLiteral(".a.new"), "new a");
    write(QStringLiteral(".b.new"), "new b"); // b is a new file
    write(QStringLiteral(".c.new"), "new c");
    const std::vector<StagedFile> files = {{dir.filePath(QStringLiteral("a")), dir.filePath(QStringLiteral(".a.new"))},
                                           {dir.filePath(QStringLiteral("b")), dir.filePath(QStringLiteral(".b.new"))},
                                           {dir.filePath(QStringLiteral("c")), dir.filePath(QStringLiteral(".c.new"))}};
    // The last file refuses to move in.
    FileSwap swap([](const QString& from, const QString& to) {
        if (from.endsWith(QStringLiteral(".c.new")))
            return false;
        return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
    });

    QString error;
    EXPECT_FALSE(swap.commit(files, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(read(QStringLiteral("a")), "old a");
    EXPECT_EQ(read(QStringLiteral("c")), "old c");
    EXPECT_THAT(filesBelow(dir.path()), testing::ElementsAre("a", "c"));
}

} // namespace
