// Configuration files against emulated writers through the window: a saved
// file is what a Config Save sends, and a file opened into a fresh window
// gives a writer the same bytes again.

#include <gtest/gtest.h>

#include <QAction>
#include <QFile>
#include <QMenu>

#include <optional>
#include <string>

#include "config_file_sample.h"
#include "pages/CTab_ConfigSave.h"
#include "widgets/CXListCtrl.h"
#include "window_rig.h"

using namespace std::chrono_literals;

namespace {

std::optional<std::string> readFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll().toStdString();
}

class ConfigFileOnWriters : public WindowRig {
protected:
    ConfigFileOnWriters() { timeout = 200ms; }

    CTab_ConfigSave& page() { return *window->configPage(); }
    bool save()
    {
        const bool started = page().OnConfigSave();
        EXPECT_TRUE(waitIdle());
        return started;
    }
};

TEST_F(ConfigFileOnWriters, AFileGivesAWriterExactlyWhatADirectConfigSaveGives)
{
    auto writer = plug();
    start();
    configfile::fillSamplePage(page());
    const int rows = page().targetList()->GetRowCount();
    const QString file = dir.filePath(QStringLiteral("config.ini"));
    ASSERT_TRUE(page().SaveConfigFile(file));
    const std::optional<std::string> saved = readFile(file);
    ASSERT_TRUE(saved);

    // The direct save of the same page.
    ASSERT_TRUE(save());
    ASSERT_EQ(list().StatusText(0), "Config Save - OK!");
    const std::optional<std::string> direct = writer->file("config.ini");
    ASSERT_TRUE(direct);
    EXPECT_EQ(*saved, *direct);
    EXPECT_EQ(*saved, page().configText.sentText(rows));

    // A fresh window opens the file and saves it to a writer that no longer
    // holds a configuration.
    window.reset();
    ASSERT_TRUE(writer->removeFile("config.ini"));
    start();
    ASSERT_TRUE(page().OpenConfigFile(file));
    EXPECT_EQ(page().targetList()->GetRowCount(), rows);
    ASSERT_TRUE(save());
    EXPECT_EQ(list().StatusText(0), "Config Save - OK!");
    EXPECT_EQ(writer->file("config.ini"), direct);
    EXPECT_EQ(readFile(file), saved) << "opening leaves the file alone";
}

TEST_F(ConfigFileOnWriters, FileActionsWaitWhileTheWindowRunsAnOperation)
{
    timeout = 1000ms;
    WriterFaults silent;
    silent.noAnswer = true; // holds the save for one time-out
    plug()->setFaults(silent);
    start();
    configfile::fillSamplePage(page());
    const QString file = dir.filePath(QStringLiteral("config.ini"));
    ASSERT_TRUE(page().SaveConfigFile(file));
    const std::optional<std::string> before = readFile(file);

    ASSERT_TRUE(page().OnConfigSave());
    ASSERT_TRUE(window->operationRunning());
    EXPECT_FALSE(page().ConfigFileActionsAllowed());
    {
        const std::unique_ptr<QMenu> menu = page().TargetListMenu();
        for (QAction* action : menu->actions())
            EXPECT_FALSE(action->isEnabled()) << action->text().toStdString();
    }
    page().targetList()->RemoveAllRows();
    EXPECT_FALSE(page().OpenConfigFile(file));
    EXPECT_EQ(page().targetList()->GetRowCount(), 0);
    EXPECT_FALSE(page().SaveConfigFile(dir.filePath(QStringLiteral("during.ini"))));
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("during.ini"))));
    EXPECT_TRUE(boxes.shown().empty());

    ASSERT_TRUE(waitIdle(10000));
    EXPECT_TRUE(page().ConfigFileActionsAllowed());
    EXPECT_TRUE(page().OpenConfigFile(file));
    EXPECT_EQ(readFile(file), before);
}

} // namespace
