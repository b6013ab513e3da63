// After the question: the updater written out of the program (or the one
// already there), the date in the profile, the updater's start and the
// hand-over; and everything that stops it on the way.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include "core/CodePage.h"
#include "app/DialogUnits.h"
#include "test_support.h"
#include "update_rig.h"

#ifndef KESTO_UPDATER_PATH
#error "the tests need the path of the built updater"
#endif

namespace {

using testing::ElementsAre;
using testing::Pair;

const std::string kQuestion = "Current Program is not the latest.\r\nDo you want to upgrade?\r\n\r\n";

class Handover : public UpgradeRig {
protected:
    Handover()
    {
        server.setDescription("<update><file name='new.bin' version='2.0'/></update>");
    }
    QFile::Permissions permissionsOf(const QString& name) const { return QFile::permissions(path(name)); }
};

TEST_F(Handover, NoWritesNothingAndStartsNothing)
{
    const QStringList before = filesBelow(top.path());
    EXPECT_EQ(runCheck(), UpgradeOutcome::Declined);
    EXPECT_EQ(lastText(), kQuestion + "[ new.bin ] File - Added\r\n");
    EXPECT_EQ(filesBelow(top.path()), before);
    EXPECT_TRUE(profileWrites.empty());
    EXPECT_TRUE(starts.empty());
    EXPECT_EQ(mainWindowClosed, 0);
    EXPECT_EQ(aboutResult, -1) << "the About box stays open";
}

TEST_F(Handover, YesWritesTheUpdaterRecordsTheDateStartsItAndCloses)
{
    boxes.answerYes = true;
    // The working directory is somewhere else: the updater goes beside the program.
    const QString workingDirectory = QDir::currentPath();
    ASSERT_TRUE(QDir().mkpath(top.filePath(QStringLiteral("elsewhere"))));
    QDir::setCurrent(top.filePath(QStringLiteral("elsewhere")));
    const UpgradeOutcome outcome = runCheck();
    QDir::setCurrent(workingDirectory);
    EXPECT_EQ(outcome, UpgradeOutcome::HandedOver);

    ASSERT_EQ(boxes.shown.size(), 1u) << "no box after Yes";
    EXPECT_TRUE(QDir(top.filePath(QStringLiteral("elsewhere"))).isEmpty());
    QFile embedded(fakeUpdater);
    ASSERT_TRUE(embedded.open(QIODevice::ReadOnly));
    EXPECT_EQ(readFile(QStringLiteral("AutoUpdator")), embedded.readAll());
    EXPECT_TRUE(permissionsOf(QStringLiteral("AutoUpdator")) & QFile::ExeOwner);

    EXPECT_THAT(profileWrites, ElementsAre(Pair("Chk_Year", 2024), Pair("Chk_Month", 3), Pair("Chk_Day", 9),
                                           Pair("Chk_Hour", 17), Pair("Chk_Min", 5), Pair("Chk_Sec", 42),
                                           Pair("UpgrageCheckEnable", 1)));
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].first, path(QStringLiteral("AutoUpdator")));
    EXPECT_EQ(starts[0].second, folder) << "started in the program folder";
    EXPECT_EQ(aboutResult, int(QDialog::Rejected));
    EXPECT_EQ(mainWindowClosed, 1);
}

TEST_F(Handover, AnExistingUpdaterIsStartedUnchanged)
{
    boxes.answerYes = true;
    writeFile(QStringLiteral("AutoUpdator"), "#!/bin/sh\n# the one already there\n");
    const QFile::Permissions permissions = permissionsOf(QStringLiteral("AutoUpdator"));

    EXPECT_EQ(runCheck(), UpgradeOutcome::HandedOver);
    EXPECT_EQ(readFile(QStringLiteral("AutoUpdator")), "#!/bin/sh\n# the one already there\n");
    EXPECT_EQ(permissionsOf(QStringLiteral("AutoUpdator")), permissions);
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].first, path(QStringLiteral("AutoUpdator")));
}

struct LoadFailure {
    const char* what;
    bool missingResource;
    std::string errorText;
};

class UpdaterLoadFailures : public Handover, public testing::WithParamInterface<LoadFailure> {};

TEST_P(UpdaterLoadFailures, ShowTheErrorThenLoadFailAndKeepTheProgramOpen)
{
    boxes.answerYes = true;
    if (GetParam().missingResource)
        QFile::remove(fakeUpdater);
    else
        QDir().mkpath(path(QStringLiteral("AutoUpdator"))); // a folder where the file would go

    EXPECT_EQ(runCheck(), UpgradeOutcome::UpdaterUnavailable);
    ASSERT_EQ(boxes.shown.size(), 3u);
    EXPECT_EQ(boxes.shown[1].caption, "Error!");
    EXPECT_EQ(boxes.shown[1].text, GetParam().errorText);
    EXPECT_EQ(boxes.shown[2].text, "AutoUpdateProgramLoad Fail!");
    EXPECT_TRUE(profileWrites.empty());
    EXPECT_TRUE(starts.empty());
    EXPECT_EQ(mainWindowClosed, 0);
    EXPECT_EQ(aboutResult, -1);
}

INSTANTIATE_TEST_SUITE_P(Table, UpdaterLoadFailures, testing::Values(
    LoadFailure{"no embedded updater", true, "FindResource Error!(IDR_AUTO_UPDATE)"},
    LoadFailure{"cannot write it", false, "WriteFile Error!(IDR_AUTO_UPDATE)"}));

TEST_F(Handover, AnUpdaterThatWillNotStartIsReportedAndTheProgramStays)
{
    boxes.answerYes = true;
    startSucceeds = false;
    EXPECT_EQ(runCheck(), UpgradeOutcome::UpdaterNotStarted);
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[1].text, "AutoUpdator Start Fail!");
    EXPECT_EQ(mainWindowClosed, 0);
    EXPECT_EQ(aboutResult, -1);
}

TEST_F(Handover, APackageManagedInstallationIsToldWhatIsNewerAndNothingIsWritten)
{
    boxes.answerYes = true;
    folderUpdatable = false;
    const QStringList before = filesBelow(top.path());

    EXPECT_EQ(runCheck(), UpgradeOutcome::PackageManaged);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_FALSE(boxes.shown[0].question);
    EXPECT_EQ(boxes.shown[0].caption, "< Program Update Check >");
    EXPECT_EQ(boxes.shown[0].text, "Current Program is not the latest.\r\n"
                                   "This installation is upgraded by its package manager: please upgrade it there.\r\n\r\n"
                                   "[ new.bin ] File - Added\r\n");
    EXPECT_EQ(filesBelow(top.path()), before);
    EXPECT_TRUE(starts.empty());
    EXPECT_TRUE(profileWrites.empty());
}

TEST(ProgramFolder, PackageFoldersAreNotOurs)
{
    QTemporaryDir dir;
    EXPECT_TRUE(ProgramUpgradeCheck::programFolderUpdatable(dir.path()));
    EXPECT_FALSE(ProgramUpgradeCheck::programFolderUpdatable(QStringLiteral("/usr/bin")));
    EXPECT_FALSE(ProgramUpgradeCheck::programFolderUpdatable(dir.filePath(QStringLiteral("missing"))));
}

TEST(EmbeddedUpdater, IsTheBuiltUpdaterByteForByte)
{
    QFile embedded(QStringLiteral(":/update/AutoUpdator"));
    QFile built(QStringLiteral(KESTO_UPDATER_PATH));
    ASSERT_TRUE(embedded.open(QIODevice::ReadOnly));
    ASSERT_TRUE(built.open(QIODevice::ReadOnly));
    EXPECT_GT(built.size(), 0);
    EXPECT_TRUE(embedded.readAll() == built.readAll());
}

TEST(AboutBox, ShowsTheVersionsAndItsControlsAtTheirPlaces)
{
    CAboutDlg about;
    const DialogUnits du(DialogUnits::dialogFont());
    EXPECT_EQ(about.windowTitle(), fromCodePage("VREN_KESTO_CONFIGURATOR \xC1\xA4\xBA\xB8"));
    EXPECT_EQ(about.size(), QSize(du.x(171), du.y(99)));

    auto* version = about.findChild<QLabel*>(QStringLiteral("productVersionLine"));
    auto* build = about.findChild<QLabel*>(QStringLiteral("buildLine"));
    ASSERT_TRUE(version && build);
    EXPECT_EQ(version->text(), QStringLiteral("Product Version : 1,24,9176,46"));
    EXPECT_EQ(version->geometry(), du.rect(13, 41, 143, 9));
    EXPECT_EQ(build->text(), QStringLiteral("BuildNo : 9176, match to 2019-06-26"));
    EXPECT_EQ(build->geometry(), du.rect(13, 53, 143, 9));

    auto* check = about.findChild<QPushButton*>(QStringLiteral("upgradeCheckButton"));
    auto* ok = about.findChild<QPushButton*>(QStringLiteral("okButton"));
    ASSERT_TRUE(check && ok);
    EXPECT_EQ(check->text(), QStringLiteral("Program Upgrade Check"));
    EXPECT_EQ(check->geometry(), du.rect(11, 72, 85, 12));
    EXPECT_EQ(ok->text(), fromCodePage("\xC8\xAE\xC0\xCE"));
    EXPECT_EQ(ok->geometry(), du.rect(116, 82, 50, 14));
    EXPECT_TRUE(ok->isDefault());

    bool captionFound = false;
    for (QLabel* label : about.findChildren<QLabel*>())
        captionFound |= label->text() == u"VREN KESTO CONFIGURATOR" && label->geometry() == du.rect(42, 11, 114, 8);
    EXPECT_TRUE(captionFound);

    ok->click();
    EXPECT_EQ(about.result(), int(QDialog::Accepted));
}

} // namespace
