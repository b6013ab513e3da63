// Configuration files on the page alone: what a saved file holds, what an
// opened file puts on the page, and the files and pages that are refused.

#include <QAction>
#include <QByteArray>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QSlider>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "config/ConfigText.h"
#include "config_file_sample.h"
#include "core/MessageLog.h"
#include "pages/CTab_ConfigSave.h"
#include "recording.h"
#include "widgets/CXListCtrl.h"

namespace {

using C = CTab_ConfigSave;
using configfile::fillSamplePage;
using configfile::kInvalidName;

// Everything a file action may change on the page, name bytes included.
struct PageState {
    struct Row {
        int en;
        QString target;
        int fat;
        QString sector;
        QByteArray name;
        bool operator==(const Row&) const = default;
    };
    std::vector<Row> rows;
    QString chip, buzzer, speed, crystal, fatVerify, erase, inFlashCount, nandCount;
    bool crystalEnabled;
    bool operator==(const PageState&) const = default;
};

std::ostream& operator<<(std::ostream& os, const PageState& s)
{
    for (const PageState::Row& r : s.rows)
        os << "{" << r.en << " " << r.target.toStdString() << " " << r.fat << " " << r.sector.toStdString() << " "
           << r.name.toHex().toStdString() << "} ";
    return os << s.chip.toStdString() << " " << s.buzzer.toStdString() << " speed " << s.speed.toStdString() << " "
              << s.crystal.toStdString() << " verify " << s.fatVerify.toStdString() << " erase "
              << s.erase.toStdString() << " counts " << s.inFlashCount.toStdString() << "/"
              << s.nandCount.toStdString();
}

std::optional<QByteArray> readFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

QByteArray bytesOf(const std::string& s)
{
    return QByteArray(s.data(), qsizetype(s.size()));
}

class ConfigFile : public ::testing::Test {
protected:
    std::unique_ptr<CTab_ConfigSave> newPage()
    {
        auto p = std::make_unique<CTab_ConfigSave>();
        p->setServices(log, boxes);
        return p;
    }

    static PageState state(CTab_ConfigSave& p)
    {
        PageState s;
        CXListCtrl& list = *p.targetList();
        for (int r = 0; r < list.GetRowCount(); ++r)
            s.rows.push_back({list.GetCellCheck(r, C::ColEn), list.GetCellText(r, C::ColTarget),
                              list.GetCellCheck(r, C::ColFat), list.GetCellText(r, C::ColSectorNo),
                              list.GetRowData(r).toByteArray()});
        s.chip = p.chipCombo()->currentText();
        s.buzzer = p.buzzerCombo()->currentText();
        s.speed = p.speedEdit()->text();
        // A loaded crystal value keeps the blank after its label's colon, as
        // a Config Load shows it; the builder drops leading blanks again.
        s.crystal = p.crystalEdit()->text().trimmed();
        s.fatVerify = p.fatVerifyCombo()->currentText();
        s.erase = p.eraseCombo()->currentText();
        s.inFlashCount = p.inFlashCountLabel()->text();
        s.nandCount = p.nandCountLabel()->text();
        s.crystalEnabled = p.crystalEdit()->isEnabled();
        return s;
    }

    QString path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
    static std::string native(const QString& p) { return QDir::toNativeSeparators(p).toStdString(); }

    std::vector<LogLine> errorLines() const
    {
        std::vector<LogLine> out;
        for (const LogLine& l : log.lines())
            if (l.color == kLogErrorColor)
                out.push_back(l);
        return out;
    }

    QTemporaryDir dir;
    RecordingLog log;
    RecordingBoxes boxes;
};

// ------------------------------------------------------------------ save

TEST_F(ConfigFile, SavedFileHoldsTheLinesAConfigSaveSendsEachEndedByCrLf)
{
    auto page = newPage();
    fillSamplePage(*page);
    const QString file = path("config.ini");
    ASSERT_TRUE(page->SaveConfigFile(file));

    const int rows = page->targetList()->GetRowCount();
    ASSERT_EQ(rows, 6);
    std::string expected;
    for (const std::string& line : page->configText.linesToSend(rows))
        expected += line + "\r\n";
    EXPECT_EQ(readFile(file), bytesOf(expected));
    EXPECT_EQ(readFile(file), bytesOf(page->configText.sentText(rows)));
    // The name's own bytes, not a replacement character.
    EXPECT_TRUE(readFile(file)->contains(bytesOf(kInvalidName + " / N / 300 / 0\r\n"))) << readFile(file)->toStdString();
    EXPECT_TRUE(boxes.shown().empty());

    ASSERT_EQ(log.lines().size(), 1u);
    const std::string line = log.lines().front().text;
    EXPECT_EQ(line.rfind("Configuration file saved: " + native(file) + " (" + std::to_string(expected.size())
                             + " bytes, sha256=", 0), 0u) << line;
    EXPECT_TRUE(line.ends_with(")\r\n")) << line;
}

TEST_F(ConfigFile, SaveReplacesAnExistingFileWhole)
{
    auto page = newPage();
    page->AddTargetRow(1, 8, "a.bin", kTargetInFlash, 0);
    page->RebuildTargetList();
    const QString file = path("config.ini");
    writeFile(file, QByteArray(100000, 'x')); // longer than what replaces it
    ASSERT_TRUE(page->SaveConfigFile(file));
    EXPECT_EQ(readFile(file), bytesOf(page->configText.sentText(1)));
}

// The checks of a Config Save refuse the file with the same boxes, and an
// existing file stays as it was.
TEST_F(ConfigFile, SaveChecksRefuseToWriteAFile)
{
    struct Case {
        const char* name;
        std::function<void(CTab_ConfigSave&)> fill;
        std::string box;
    };
    const Case cases[] = {
        {"no rows", [](CTab_ConfigSave&) {}, "File for configuration setting does not exist!"},
        {"no enabled row",
         [](CTab_ConfigSave& p) {
             p.AddTargetRow(0, 0, "a.bin", kTargetInFlash, 0);
             p.AddTargetRow(0, 0, "b.bin", kTargetInFlash, 0);
             p.RebuildTargetList();
         },
         "Enabled File does not exist!"},
        {"two InFlash rows on one sector",
         [](CTab_ConfigSave& p) {
             p.AddTargetRow(1, 8, "a.bin", kTargetInFlash, 0);
             p.AddTargetRow(1, 8, "b.bin", kTargetInFlash, 0);
             p.RebuildTargetList();
         },
         "Same Sector No. exist!"},
        {"more rows than the list block holds",
         [](CTab_ConfigSave& p) {
             for (int i = 0; i <= kMaxListRows; ++i)
                 p.AddTargetRow(1, 8 + i, "f" + std::to_string(i) + ".bin", kTargetInFlash, 0);
             p.RebuildTargetList();
         },
         ""}, // the builder's own text, whatever it says
    };
    const QString file = path("config.ini");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        boxes.clear();
        log.clear();
        writeFile(file, "kept as it was");
        auto page = newPage();
        c.fill(*page);
        EXPECT_FALSE(page->SaveConfigFile(file));
        ASSERT_EQ(boxes.shown().size(), 1u);
        if (!c.box.empty())
            EXPECT_EQ(boxes.shown()[0], c.box);
        else
            EXPECT_FALSE(boxes.shown()[0].empty());
        EXPECT_EQ(readFile(file), QByteArray("kept as it was"));
        EXPECT_TRUE(log.lines().empty()) << "nothing was saved";
        EXPECT_FALSE(page->SaveConfigFile(path("elsewhere.ini")));
        EXPECT_FALSE(QFile::exists(path("elsewhere.ini")));
    }
}

// ------------------------------------------------------------------ open

TEST_F(ConfigFile, OpenedFileFillsAFreshPageAsAConfigLoadDoes)
{
    auto original = newPage();
    fillSamplePage(*original);
    const QString file = path("config.ini");
    ASSERT_TRUE(original->SaveConfigFile(file));

    auto opened = newPage();
    opened->chipCombo()->setCurrentIndex(opened->chipCombo()->findText(QStringLiteral("HERON")));
    opened->ApplyChipSelection(); // keeps the crystal field disabled: the file's chip must give it back
    opened->AddTargetRow(1, 8, "left_over.bin", kTargetInFlash, 0);
    log.clear();
    ASSERT_TRUE(opened->OpenConfigFile(file));

    EXPECT_EQ(state(*opened), state(*original));
    const PageState s = state(*opened);
    ASSERT_EQ(s.rows.size(), 6u);
    EXPECT_EQ(s.rows[4].name, bytesOf(kInvalidName)) << "enabled rows first, then the disabled one";
    EXPECT_EQ(s.rows[5], (PageState::Row{1, "", 0, "0", "old_boot.bin"}));
    EXPECT_EQ(s.chip, "moLarkL");
    EXPECT_EQ(s.speed, "7");
    EXPECT_EQ(opened->speedSlider()->value(), 7);
    EXPECT_EQ(s.buzzer, "OFF");
    EXPECT_EQ(s.crystal, "24000000");
    EXPECT_TRUE(s.crystalEnabled);
    EXPECT_EQ(s.inFlashCount, "2");
    EXPECT_EQ(s.nandCount, "3");
    EXPECT_TRUE(boxes.shown().empty());
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_EQ(log.lines()[0].text, "Configuration file opened: " + native(file) + " (6 rows)\r\n");

    // Saved again, the opened page writes the very same bytes.
    ASSERT_TRUE(opened->SaveConfigFile(path("again.ini")));
    EXPECT_EQ(readFile(path("again.ini")), readFile(file));
}

TEST_F(ConfigFile, OpeningAFileOfTheCrystalLessChipKeepsTheCrystalFieldDisabled)
{
    auto original = newPage();
    original->chipCombo()->setCurrentIndex(original->chipCombo()->findText(QStringLiteral("HERON")));
    original->ApplyChipSelection();
    original->AddTargetRow(1, 8, "a.bin", kTargetInFlash, 0);
    original->RebuildTargetList();
    ASSERT_TRUE(original->SaveConfigFile(path("heron.ini")));

    auto opened = newPage();
    ASSERT_TRUE(opened->OpenConfigFile(path("heron.ini")));
    EXPECT_EQ(opened->chipCombo()->currentText(), "HERON");
    EXPECT_FALSE(opened->crystalEdit()->isEnabled());
}

// Files that cannot be used, and a path that cannot be written: the page and
// the file stay as they were, and a box and a red log line say why.
TEST_F(ConfigFile, UnusableFilesAndPathsChangeNothingAndSaySo)
{
    auto sample = newPage();
    fillSamplePage(*sample);
    ASSERT_TRUE(sample->SaveConfigFile(path("good.ini")));
    const QByteArray good = *readFile(path("good.ini"));

    enum Action { Open, Save };
    struct Case {
        const char* name;
        Action action;
        const char* file;
        std::optional<QByteArray> contents; // none: no such file
        std::string logAfterPath;           // the red line after "<path>" or the text before it
        std::string boxStart;
    };
    QByteArray tooLarge = good;
    tooLarge.append(QByteArray(C::kMaxConfigFileBytes + 1 - good.size(), ' '));
    const Case cases[] = {
        {"a text that does not parse", Open, "notes.ini", QByteArray("[Options]\r\nBuzzer: ON\r\n"),
         " is not a configuration file: <configuration> is wrong file!\r\n", "%PATH% is not a configuration file!\r\n"},
        {"an empty file", Open, "empty.ini", QByteArray(),
         " is not a configuration file: <configuration> is wrong file!\r\n", "%PATH% is not a configuration file!\r\n"},
        {"a file one byte over 64 KiB", Open, "large.ini", tooLarge,
         " is not a configuration file: it is larger than 64 KiB, more than a writer holds\r\n",
         "%PATH% is not a configuration file!\r\n"},
        {"no such file", Open, "missing.ini", std::nullopt, "Cannot read the configuration file %PATH%: ",
         "Cannot read the configuration file!\r\n%PATH%\r\n"},
        {"a folder that does not exist", Save, "no/such/folder/config.ini", std::nullopt,
         "Cannot write the configuration file %PATH%: ", "Cannot write the configuration file!\r\n%PATH%\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString file = path(c.file);
        if (c.contents)
            writeFile(file, *c.contents);
        const auto with = [&](std::string text) {
            if (const std::size_t at = text.find("%PATH%"); at != std::string::npos)
                return text.replace(at, 6, native(file));
            return native(file) + text;
        };
        log.clear();
        boxes.clear();
        auto page = newPage();
        fillSamplePage(*page);
        const PageState before = state(*page);

        EXPECT_FALSE(c.action == Open ? page->OpenConfigFile(file) : page->SaveConfigFile(file));

        EXPECT_EQ(state(*page), before);
        EXPECT_EQ(readFile(file), c.contents);
        ASSERT_EQ(boxes.shown().size(), 1u);
        EXPECT_EQ(boxes.shown()[0].rfind(with(c.boxStart), 0), 0u) << boxes.shown()[0];
        ASSERT_EQ(log.lines().size(), 1u);
        const LogLine line = log.lines()[0];
        EXPECT_EQ(line.color, kLogErrorColor);
        if (c.logAfterPath.find("%PATH%") != std::string::npos) {
            EXPECT_EQ(line.text.rfind(with(c.logAfterPath), 0), 0u) << line.text;
            EXPECT_GT(line.text.size(), with(c.logAfterPath).size() + 2) << "the reason is named";
        } else {
            EXPECT_EQ(line.text, with(c.logAfterPath));
        }
    }
}

TEST_F(ConfigFile, AFileOfExactly64KiBIsStillOpened)
{
    auto sample = newPage();
    fillSamplePage(*sample);
    ASSERT_TRUE(sample->SaveConfigFile(path("good.ini")));
    QByteArray exact = *readFile(path("good.ini"));
    exact.append(QByteArray(C::kMaxConfigFileBytes - exact.size(), '\n'));
    writeFile(path("exact.ini"), exact);

    auto page = newPage();
    ASSERT_TRUE(page->OpenConfigFile(path("exact.ini")));
    EXPECT_EQ(state(*page), state(*sample));
}

// ------------------------------------------------------------------ menu

TEST_F(ConfigFile, MenuOffersBothActionsExceptWhileAnOperationRuns)
{
    struct Case {
        const char* name;
        std::atomic<int> C::*flag;
    };
    const Case cases[] = {{"Config Load running", &C::configLoadRunning}, {"Config Save running", &C::configSaveRunning}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto page = newPage();
        EXPECT_EQ(page->targetList()->contextMenuPolicy(), Qt::CustomContextMenu) << "the list has its own menu";
        fillSamplePage(*page);
        ASSERT_TRUE(page->SaveConfigFile(path("config.ini")));

        {
            const std::unique_ptr<QMenu> menu = page->TargetListMenu();
            const QList<QAction*> actions = menu->actions();
            ASSERT_EQ(actions.size(), 2);
            EXPECT_EQ(actions[0]->text(), QStringLiteral("Open configuration file\u2026"));
            EXPECT_EQ(actions[1]->text(), QStringLiteral("Save configuration file\u2026"));
            EXPECT_TRUE(actions[0]->isEnabled());
            EXPECT_TRUE(actions[1]->isEnabled());
        }

        (*page).*c.flag = 1;
        boxes.clear();
        log.clear();
        const std::unique_ptr<QMenu> menu = page->TargetListMenu();
        for (QAction* a : menu->actions())
            EXPECT_FALSE(a->isEnabled()) << a->text().toStdString();
        writeFile(path("other.ini"), "other");
        page->targetList()->RemoveAllRows();
        EXPECT_FALSE(page->OpenConfigFile(path("config.ini")));
        EXPECT_EQ(page->targetList()->GetRowCount(), 0) << "nothing opened";
        EXPECT_FALSE(page->SaveConfigFile(path("other.ini")));
        EXPECT_EQ(readFile(path("other.ini")), QByteArray("other"));
        EXPECT_TRUE(boxes.shown().empty());
        EXPECT_TRUE(log.lines().empty());
        (*page).*c.flag = 0;
        EXPECT_TRUE(page->OpenConfigFile(path("config.ini")));
        EXPECT_EQ(page->targetList()->GetRowCount(), 6);
    }
}

} // namespace
