// The About box opens from the main window's About entry, and a hand-over to
// the updater closes the main window as cancelled.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QPushButton>
#include <QTimer>

#include "local_http_server.h"
#include "update/CAboutDlg.h"
#include "update/UpdateDescription.h"
#include "window_rig.h"

namespace {

class AboutFromMainWindow : public WindowRig {
protected:
    QString folder() const { return dir.filePath(QStringLiteral("program")); }
    void write(const QString& name, const QByteArray& bytes, bool executable = false)
    {
        QDir().mkpath(folder());
        QFile f(folder() + u'/' + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        f.close();
        if (executable)
            f.setPermissions(f.permissions() | QFile::ExeOwner);
    }
    // Presses a button of the About box once it is up.
    void pressInAboutBox(const QString& button)
    {
        auto* timer = new QTimer(window.get());
        QObject::connect(timer, &QTimer::timeout, window.get(), [this, timer, button] {
            auto* about = window->findChild<CAboutDlg*>();
            if (!about || !about->isVisible())
                return;
            timer->stop();
            aboutOpened = true;
            about->findChild<QPushButton*>(button)->click();
        });
        timer->start(10);
    }

    LocalHttpServer server;
    bool aboutOpened = false;
};

TEST_F(AboutFromMainWindow, OkClosesOnlyTheAboutBox)
{
    start();
    pressInAboutBox(QStringLiteral("okButton"));
    window->showAbout();
    EXPECT_TRUE(aboutOpened);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(AboutFromMainWindow, AHandOverToTheUpdaterClosesTheMainWindowAsCancelled)
{
    write(QString::fromLatin1(kSettingsFileName), "[Update]\r\nBaseUrl=" + server.baseUrl().toLatin1() + "\r\n");
    // An updater already there is used as it is; this one says where it ran.
    write(QStringLiteral("AutoUpdator"), "#!/bin/sh\npwd > started.txt\n", true);
    server.setDescription("<update><file name='new.bin' version='1'/></update>");
    boxes.answerYes = true;
    MainWindowEnvironment env = environment();
    env.executablePath = folder() + QStringLiteral("/VREN_Kesto_Configurator");
    start(std::move(env));

    pressInAboutBox(QStringLiteral("upgradeCheckButton"));
    window->showAbout();

    EXPECT_TRUE(aboutOpened);
    EXPECT_THAT(boxes.shown(), testing::ElementsAre("Current Program is not the latest.\r\nDo you want to upgrade?\r\n\r\n"
                                                    "[ new.bin ] File - Added\r\n"));
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->result(), int(QDialog::Rejected));
    profile.beginGroup(QStringLiteral("Initialization"));
    EXPECT_EQ(profile.value(QStringLiteral("UpgrageCheckEnable")).toInt(), 1);
    EXPECT_GE(profile.value(QStringLiteral("Chk_Year")).toInt(), 2024);
    profile.endGroup();

    QFile started(folder() + QStringLiteral("/started.txt"));
    ASSERT_TRUE(testsupport::waitUntil([&] { return started.exists() && started.size() > 0; }, 10000));
    ASSERT_TRUE(started.open(QIODevice::ReadOnly));
    EXPECT_EQ(started.readAll().trimmed(), QFileInfo(folder()).canonicalFilePath().toLocal8Bit());
}

} // namespace
