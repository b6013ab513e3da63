// Config Load and Config Save from the page, on emulated writers through the
// window, the session and the runner: what the page shows afterwards, and the
// exact bytes every writer stores.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>

#include "config/ConfigBuilder.h"
#include "pages/CTab_ConfigSave.h"
#include "app/pane_contents.h"
#include "widgets/CXListCtrl.h"
#include "window_rig.h"

using namespace std::chrono_literals;

namespace {

using C = CTab_ConfigSave;
constexpr Rgb kRed = rgb(199, 21, 133);

// A configuration text as a writer stores it, built the way a save builds it.
std::string configFile(std::vector<TargetFileEntry> enabled, std::vector<TargetFileEntry> disabled,
                       const std::string& chip = "SOLVAN", const std::string& crystal = "11289600",
                       const std::string& buzzer = "ON", int speed = 3)
{
    ConfigSource s;
    for (const TargetFileEntry& e : enabled)
        (e.target == kTargetNand ? s.nandCount : s.inFlashCount) += 1;
    s.targetEntries = std::move(enabled);
    s.disabledEntries = std::move(disabled);
    s.downloadSpeed = speed;
    s.buzzer = buzzer;
    s.chip = chip;
    s.crystal = crystal;
    s.fatVerify = "Enable";
    s.erase = "Disable";
    ConfigText text;
    EXPECT_TRUE(BuildConfigText(text, s));
    return text.sentText(int(s.targetEntries.size() + s.disabledEntries.size()));
}

struct Row {
    int en;
    QString target;
    int fat;
    QString sector;
    QString name;
    bool operator==(const Row&) const = default;
};

class ConfigLoadSave : public WindowRig {
protected:
    ConfigLoadSave() { timeout = 200ms; }

    CTab_ConfigSave& page() { return *window->configPage(); }
    CXListCtrl& rows() { return *page().targetList(); }

    // Writer with these files (name -> content), in this order.
    std::shared_ptr<EmulatedWriter> writerWith(const std::vector<std::pair<std::string, std::string>>& files)
    {
        auto w = plug();
        w->clearFiles();
        for (const auto& [name, content] : files)
            w->setFile(name, content);
        return w;
    }

    void selectChip(const char* chip)
    {
        page().chipCombo()->setCurrentIndex(page().chipCombo()->findText(QString::fromLatin1(chip)));
        page().ApplyChipSelection();
    }

    bool load()
    {
        const bool started = page().OnConfigLoad();
        EXPECT_TRUE(waitIdle());
        return started;
    }
    bool save()
    {
        const bool started = page().OnConfigSave();
        EXPECT_TRUE(waitIdle());
        return started;
    }

    std::vector<Row> listRows()
    {
        std::vector<Row> out;
        for (int r = 0; r < rows().GetRowCount(); ++r)
            out.push_back({rows().GetCellCheck(r, C::ColEn), rows().GetCellText(r, C::ColTarget),
                           rows().GetCellCheck(r, C::ColFat), rows().GetCellText(r, C::ColSectorNo),
                           rows().GetCellText(r, C::ColFileName)});
        return out;
    }
    bool logHas(const QString& line) { return logLines().contains(line); }
    // Lines of the pane with their colours.
    bool logHasColored(const QString& line, Rgb color)
    {
        for (const auto& runs : testsupport::linesOf(*window->messageLog()->document())) {
            QString text;
            for (const auto& run : runs)
                text += run.text;
            if (text == line && !runs.empty() && runs.front().color == color)
                return true;
        }
        return false;
    }
    // A new start: no window, no writer.
    void clearBus()
    {
        window.reset();
        for (const auto& w : bus.writers())
            bus.unplug(w);
        boxes.clear();
    }
};

std::ostream& operator<<(std::ostream& os, const Row& r)
{
    return os << "{" << r.en << " " << r.target.toStdString() << " " << r.fat << " " << r.sector.toStdString() << " "
              << r.name.toStdString() << "}";
}

// ------------------------------------------------------------------ load

TEST_F(ConfigLoadSave, LoadFillsTheRowsFromTheNamesAndTheConfiguration)
{
    writerWith({{"a.bin", "A"},
                {"config.ini", configFile({{1, "a.bin", 100, kTargetNand, 1}}, {}, "HERON", "00000000", "OFF", 7)},
                {"b.bin", "B"}});
    plug(); // a second writer is never read
    start();
    ASSERT_TRUE(load());

    EXPECT_EQ(listRows(), (std::vector<Row>{{2, "NAND", 2, "100", "a.bin"}, {1, "", 0, "0", "b.bin"}}));
    EXPECT_EQ(page().speedEdit()->text(), "7");
    EXPECT_EQ(page().speedSlider()->value(), 7);
    EXPECT_EQ(page().buzzerCombo()->currentText(), "OFF");
    EXPECT_EQ(page().chipCombo()->currentText(), "HERON");
    EXPECT_FALSE(page().crystalEdit()->isEnabled()) << "HERON keeps the crystal field disabled";
    EXPECT_TRUE(page().configSaveButton()->isEnabled());
    EXPECT_TRUE(page().targetList()->isEnabled());
    EXPECT_TRUE(page().speedSlider()->isEnabled());
    // Rows filled while the list was disabled keep no disabled grey.
    QColor text, background;
    rows().GetCellColors(0, C::ColFileName, text, background);
    EXPECT_EQ(text, rows().palette().color(QPalette::Active, QPalette::Text));
    EXPECT_EQ(list().StatusText(0), "Config Load - OK!");
    EXPECT_EQ(list().StatusText(1), "VREN Kesto Contact-OK!") << "only writer 1 is read";
    EXPECT_TRUE(bus.writers()[1]->requests().size() == 1) << "writer 2 got its contact check only";
    EXPECT_TRUE(logHas(">> VREN Kesto Config Load - START <<"));
    EXPECT_EQ(page().configLoadRunning, 0);
}

TEST_F(ConfigLoadSave, LoadWithoutAUsableConfigurationListsTheFilesDisabledWithDefaults)
{
    struct Case {
        const char* name;
        std::vector<std::pair<std::string, std::string>> files;
        bool doesNotExistLine;
    };
    const std::string wrong = "no dashes: and: too: few: colons\r\n";
    const Case cases[] = {
        {"no config.ini", {{"a.bin", "A"}, {"b.bin", "B"}}, true},
        {"config fails the colon and dash check", {{"a.bin", "A"}, {"config.ini", wrong}, {"b.bin", "B"}}, false},
        {"config.ini is empty", {{"a.bin", "A"}, {"config.ini", ""}, {"b.bin", "B"}}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        clearBus();
        writerWith(c.files);
        start();
        page().speedSlider()->setValue(8);
        ASSERT_TRUE(load());
        EXPECT_EQ(listRows(), (std::vector<Row>{{1, "", 0, "0", "a.bin"}, {1, "", 0, "0", "b.bin"}}));
        EXPECT_EQ(page().speedEdit()->text(), "1");
        EXPECT_EQ(page().buzzerCombo()->currentIndex(), 0);
        EXPECT_EQ(page().chipCombo()->currentIndex(), 0);
        EXPECT_EQ(page().eraseCombo()->currentIndex(), -1);
        EXPECT_EQ(page().fatVerifyCombo()->currentText(), "Enable");
        EXPECT_EQ(page().inFlashCountLabel()->text(), "0");
        EXPECT_EQ(logHas("<configuration> file does not exist!"), c.doesNotExistLine);
        EXPECT_EQ(list().StatusText(0), "Config Load - OK!");
    }
}

TEST_F(ConfigLoadSave, ABackupOfTheConfigurationCountsAsItAndIsAlsoARow)
{
    writerWith({{"a.bin", "A"},
                {"config.ini.bak", "old"},
                {"config.ini", configFile({{1, "a.bin", 8, kTargetInFlash, 0}}, {})}});
    start();
    ASSERT_TRUE(load());
    EXPECT_EQ(listRows(), (std::vector<Row>{{2, "InFlash", 0, "8", "a.bin"}, {1, "", 0, "0", "config.ini.bak"}}));
    EXPECT_FALSE(logHas("<configuration> file does not exist!"));
}

TEST_F(ConfigLoadSave, AChipNoRowCarriesLeavesTheChipUnselected)
{
    writerWith({{"a.bin", "A"}, {"config.ini", configFile({{1, "a.bin", 8, kTargetInFlash, 0}}, {}, "Z80")}});
    start();
    ASSERT_TRUE(load());
    EXPECT_EQ(page().chipCombo()->currentIndex(), -1);
    EXPECT_TRUE(page().crystalEdit()->isEnabled()) << "neither HERON nor Other";
}

TEST_F(ConfigLoadSave, AFailedNameListLeavesTheListEmptyAndTheSettingsAsTheyWere)
{
    auto w = writerWith({{"a.bin", "A"}, {"config.ini", configFile({{1, "a.bin", 8, kTargetInFlash, 0}}, {})}});
    start();
    page().AddTargetRow(1, 5, "old.bin", kTargetInFlash, 0);
    page().speedSlider()->setValue(6);
    const TargetSettings before = page().settings;
    WriterFaults faults;
    faults.nameListStatus[0] = {RS_ERROR, 0}; // fails after the first name
    w->setFaults(faults);
    ASSERT_TRUE(load());
    EXPECT_EQ(rows().GetRowCount(), 0);
    EXPECT_EQ(page().settings.selectChip, before.selectChip);
    EXPECT_EQ(page().speedEdit()->text(), "6");
    EXPECT_EQ(list().StatusText(0), "COMM Error!");
    EXPECT_TRUE(page().configLoadButton()->isEnabled());
}

TEST_F(ConfigLoadSave, NamesTheListCannotHoldAreReported)
{
    std::vector<std::pair<std::string, std::string>> files;
    for (int i = 0; i < 103; ++i)
        files.push_back({"f" + std::to_string(i) + ".bin", "x"});
    files.push_back({std::string(300, 'n'), "x"});
    writerWith(files);
    start();
    ASSERT_TRUE(load());
    EXPECT_EQ(rows().GetRowCount(), 100);
    EXPECT_TRUE(logHas("\t +  Dev01: 4 file names beyond the first 100 are not listed!"));
}

TEST_F(ConfigLoadSave, NoWriterOrNoOpenGivesTheLineAndTheBoxAndChangesNothing)
{
    start();
    page().AddTargetRow(1, 5, "keep.bin", kTargetInFlash, 0);
    page().RebuildTargetList();
    EXPECT_FALSE(page().OnConfigLoad());
    EXPECT_FALSE(page().OnConfigSave());
    EXPECT_EQ(boxes.shown(), (std::vector<std::string>{"Cannot Open SOLVAN USB Device!", "Cannot Open SOLVAN USB Device!"}));
    EXPECT_EQ(rows().GetRowCount(), 1);
    EXPECT_TRUE(page().configSaveButton()->isEnabled());
    EXPECT_EQ(page().configLoadRunning, 0);
    EXPECT_EQ(page().configSaveRunning, 0);
}

// ------------------------------------------------------------------ save

TEST_F(ConfigLoadSave, SaveSendsTheSameBytesToEveryCheckedWriterAndNothingToTheOthers)
{
    for (int i = 0; i < 4; ++i)
        writerWith({{"a.bin", "A"}});
    start();
    selectChip("SOLVAN");
    page().AddTargetRow(1, 8, "a.bin", kTargetInFlash, 0);
    page().AddTargetRow(1, 100, "b.bin", kTargetNand, 1);
    page().AddTargetRow(0, 0, "c.bin", kTargetInFlash, 0);
    page().RebuildTargetList();
    list().SetCellCheck(1, ContactList::ColumnEnable, 1);
    list().SetCellCheck(2, ContactList::ColumnEnable, 1);
    for (const auto& w : bus.writers())
        w->clearWireLog();

    ASSERT_TRUE(save());
    const std::string expected = page().configText.sentText(3);
    // Three rows: the list block's lines 0 to 6, then the settings lines 64 to 81.
    std::string byIndex;
    for (int l = 0; l <= 81; l = l == 6 ? 64 : l + 1)
        byIndex.append(page().configText.line(l)).append("\r\n");
    EXPECT_EQ(expected, byIndex);
    for (int i : {0, 3}) {
        EXPECT_EQ(bus.writers()[std::size_t(i)]->file("config.ini"), expected) << i;
        EXPECT_EQ(list().StatusText(i), "Config Save - OK!");
    }
    for (int i : {1, 2}) {
        EXPECT_TRUE(bus.writers()[std::size_t(i)]->requests().empty()) << "unchecked writer " << i << " got no worker";
        EXPECT_FALSE(bus.writers()[std::size_t(i)]->file("config.ini"));
    }
    EXPECT_TRUE(logHas(">> VREN Kesto Config Save - START <<"));
    EXPECT_EQ(page().configSaveRunning, 0);
}

TEST_F(ConfigLoadSave, SaveToThreeWritersWithTheSecondUnpluggedFinishesAllThree)
{
    for (int i = 0; i < 3; ++i)
        plug();
    start();
    page().AddTargetRow(1, 8, "a.bin", kTargetInFlash, 0);
    page().RebuildTargetList();
    WriterFaults gone;
    gone.unplugAfterReplies = 2; // identification and version, then gone
    bus.writers()[1]->setFaults(gone);

    ASSERT_TRUE(save());
    EXPECT_EQ(list().StatusText(0), "Config Save - OK!");
    EXPECT_TRUE(list().StatusText(1) == "WriteUSB Error!" || list().StatusText(1) == "ReadUSB Error!") << list().StatusText(1);
    EXPECT_EQ(list().StatusText(2), "Config Save - OK!");
    int finishes = 0;
    for (const QString& line : logLines())
        finishes += line.endsWith(QStringLiteral(": Finish!"));
    EXPECT_EQ(finishes, 3);
}

TEST_F(ConfigLoadSave, WriterErrorStatusesOfTheSaveGiveTheirLines)
{
    struct Case {
        const char* name;
        std::function<void(WriterFaults&)> fault;
        const char* line;
    };
    const Case cases[] = {
        {"request", [](WriterFaults& f) { f.commandStatus[CMD_CONFIG_WRITE] = {RS_FAILED, 0}; },
         "\t +  Dev01: Kesto_ConfigSave Error(0x6)!"},
        {"line", [](WriterFaults& f) { f.configLineStatus[2] = {RS_ERROR, 0}; },
         "\t +  Dev01: <configuration> File Write Error!"},
        {"end", [](WriterFaults& f) { f.commandStatus[CMD_END] = {RS_ERROR, 0}; },
         "\t +  Dev01: <configuration> File Write End Error!"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        clearBus();
        auto w = plug();
        start();
        page().AddTargetRow(1, 8, "a.bin", kTargetInFlash, 0);
        page().RebuildTargetList();
        WriterFaults f;
        c.fault(f);
        w->setFaults(f);
        ASSERT_TRUE(save());
        EXPECT_TRUE(logHasColored(QString::fromLatin1(c.line), kRed)) << c.line;
        EXPECT_EQ(list().StatusText(0), "COMM Error!");
        EXPECT_FALSE(w->file("config.ini")) << "nothing stored";
    }
}

TEST_F(ConfigLoadSave, SaveWithNoCheckedWriterStartsNothingAndSaysSo)
{
    auto w = plug();
    start();
    page().AddTargetRow(1, 8, "a.bin", kTargetInFlash, 0);
    page().RebuildTargetList();
    list().SetCellCheck(0, ContactList::ColumnEnable, 1);
    w->clearWireLog();
    EXPECT_FALSE(page().OnConfigSave());
    EXPECT_EQ(page().configSaveRunning, 0);
    EXPECT_TRUE(page().configSaveButton()->isEnabled());
    EXPECT_FALSE(window->operationRunning());
    EXPECT_TRUE(w->requests().empty());
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_TRUE(logHas(QString::fromStdString(boxes.shown()[0])));
    EXPECT_FALSE(window->deviceTable().isOpen(0));
}

TEST_F(ConfigLoadSave, PageProblemsStopTheSaveBeforeAnyWriterIsTouched)
{
    auto w = plug();
    start();
    w->clearWireLog();
    EXPECT_FALSE(page().OnConfigSave());
    page().AddTargetRow(0, 0, "a.bin", kTargetInFlash, 0);
    page().RebuildTargetList();
    EXPECT_FALSE(page().OnConfigSave());
    page().AddTargetRow(1, 8, "b\nc.bin", kTargetInFlash, 0);
    page().RebuildTargetList();
    EXPECT_FALSE(page().OnConfigSave());
    const auto shown = boxes.shown();
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0], "File for configuration setting does not exist!");
    EXPECT_EQ(shown[1], "Enabled File does not exist!");
    EXPECT_TRUE(w->requests().empty()) << "no writer was opened or closed for a page problem";
}

// ------------------------------------------------------------------ read-back check

// Three writers, the second of which stores or returns something else than it
// was sent: only that one fails, with the first differing byte named.
TEST_F(ConfigLoadSave, ReadBackCheckFailsOnlyTheWriterThatStoredOtherBytes)
{
    struct Case {
        const char* name;
        std::function<void(WriterFaults&, std::size_t sentLines)> fault;
        const char* status;
        // The red line for writer 2; %zu are the offset, the bytes sent and read.
        std::function<std::string(const std::vector<std::string>& lines)> line;
    };
    const auto sentSize = [](const std::vector<std::string>& lines) {
        std::size_t n = 0;
        for (const std::string& l : lines)
            n += l.size() + 2;
        return n;
    };
    const auto differs = [sentSize](std::size_t offset, std::size_t readBack, const std::vector<std::string>& lines) {
        char text[160];
        std::snprintf(text, sizeof text, "\t +  Dev02: <configuration> Verify Error at byte %zu! (%zu bytes sent, %zu read back)",
                      offset, sentSize(lines), readBack);
        return std::string(text);
    };
    const Case cases[] = {
        {"one byte corrupted", [](WriterFaults& f, std::size_t) { f.corruptStoredByte = 37; }, "Verify Error!",
         [&](const std::vector<std::string>& lines) { return differs(37, sentSize(lines), lines); }},
        {"first byte corrupted", [](WriterFaults& f, std::size_t) { f.corruptStoredByte = 0; }, "Verify Error!",
         [&](const std::vector<std::string>& lines) { return differs(0, sentSize(lines), lines); }},
        {"last line dropped", [](WriterFaults& f, std::size_t) { f.dropLastStoredLine = true; }, "Verify Error!",
         [&](const std::vector<std::string>& lines) {
             const std::size_t kept = sentSize(lines) - lines.back().size() - 2;
             return differs(kept, kept, lines);
         }},
        {"read refused", [](WriterFaults& f, std::size_t) { f.commandStatus[CMD_CONFIG_READ] = {RS_FAILED, 0}; },
         "Verify Error!",
         [](const std::vector<std::string>&) {
             return std::string("\t +  Dev02: <configuration> Verify Error! (cannot read it back)");
         }},
        // Identification, version, the write request, every line, the end:
        // then nothing answers the read.
        {"silent during the read-back",
         [](WriterFaults& f, std::size_t sentLines) { f.silentAfterReplies = int(sentLines) + 4; }, "ReadUSB Error!",
         [](const std::vector<std::string>&) { return std::string("\t +  Dev02: <configuration> Verify Read Error!"); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        clearBus();
        for (int i = 0; i < 3; ++i)
            plug();
        start();
        page().AddTargetRow(1, 8, "a.bin", kTargetInFlash, 0);
        page().AddTargetRow(1, 100, "b.bin", kTargetNand, 1);
        page().RebuildTargetList();
        ASSERT_TRUE(page().BuildConfigText());
        const std::vector<std::string> lines = page().configText.linesToSend(2);
        ASSERT_FALSE(lines.empty());
        WriterFaults f;
        c.fault(f, lines.size());
        bus.writers()[1]->setFaults(f);

        ASSERT_TRUE(save());
        EXPECT_EQ(list().StatusText(0), "Config Save - OK!");
        EXPECT_EQ(list().StatusText(1), c.status);
        EXPECT_EQ(list().StatusText(2), "Config Save - OK!");
        EXPECT_TRUE(logHasColored(QString::fromStdString(c.line(lines)), kRed)) << c.line(lines);
        EXPECT_TRUE(logHas("\t +  Dev01: <configuration> Verify OK!"));
        EXPECT_TRUE(logHas("\t +  Dev03: <configuration> Verify OK!"));
        EXPECT_FALSE(logHas("\t +  Dev02: <configuration> Verify OK!"));
        EXPECT_FALSE(logHas("\t +  Dev02: EXIT Ok! - Config Save")) << "a failed check is never a success";
    }
}

TEST_F(ConfigLoadSave, VerifyAfterSaveZeroInTheSettingsFileSendsNothingAfterTheEnd)
{
    struct Case {
        const char* file;
        bool readBack;
    };
    const Case cases[] = {
        {"[Options]\r\nVerifyAfterSave=0\r\n", false},
        {"[options]\r\nverifyaftersave=1\r\n", true},
        {"", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        clearBus();
        writeSettingsFile(c.file);
        auto w = plug();
        start();
        page().AddTargetRow(1, 8, "a.bin", kTargetInFlash, 0);
        page().RebuildTargetList();
        w->clearWireLog();
        ASSERT_TRUE(save());
        const auto requests = w->requests();
        ASSERT_FALSE(requests.empty());
        const auto end = std::find(requests.begin(), requests.end(), EmulatedWriter::Bytes{0x0B});
        ASSERT_NE(end, requests.end());
        EXPECT_EQ(std::next(end) != requests.end(), c.readBack);
        if (c.readBack) {
            EXPECT_EQ(*std::next(end), EmulatedWriter::Bytes{0xB4});
        }
        EXPECT_EQ(list().StatusText(0), "Config Save - OK!");
        EXPECT_EQ(logHas("\t +  Dev01: <configuration> Verify OK!"), c.readBack);
    }
}

// ------------------------------------------------------------------ round trip

TEST_F(ConfigLoadSave, SavedLoadedAndSavedAgainGivesTheSameBytes)
{
    struct Case {
        const char* name;
        const char* chip;
        std::vector<std::string> names;
    };
    const Case cases[] = {
        {"plain", "SOLVAN", {"boot.bin", "app.bin", "fat.img"}},
        {"crystal 2000000", "moLarkL", {"boot.bin", "app.bin"}},
        {"Hangul names", "SOLVAN", {"\xC7\xD1\xB1\xDB.bin", "\xB5\xA5\xC0\xCC\xC5\xCD.img"}},
        {"a name that is not code page 949", "SOLVAN", {"bad\x80\xFF.bin", "ok.bin"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        clearBus();
        std::vector<std::pair<std::string, std::string>> files;
        for (const std::string& n : c.names)
            files.push_back({n, "x"});
        auto w = writerWith(files);
        start();
        selectChip(c.chip);
        int sector = 8;
        for (std::size_t i = 0; i < c.names.size(); ++i, sector += 100)
            page().AddTargetRow(1, sector, c.names[i], i == 0 ? kTargetInFlash : kTargetNand, i == 1 ? 1 : 0);
        page().RebuildTargetList();
        ASSERT_TRUE(save());
        const auto first = w->file("config.ini");
        ASSERT_TRUE(first);

        // A fresh window loads it and saves it again unchanged.
        window.reset();
        start();
        ASSERT_TRUE(load());
        ASSERT_EQ(rows().GetRowCount(), int(c.names.size()));
        ASSERT_TRUE(save());
        EXPECT_EQ(w->file("config.ini"), first);
    }
}

} // namespace

namespace {

// ------------------------------------------------------------------ settings file

TEST_F(ConfigLoadSave, SettingsFileGivesTheFirstChipSpeedAndBuzzer)
{
    struct Case {
        const char* name;
        const char* file; // null: no file at all
        const char* chip; // the chip combo's text, "" for no selection
        const char* crystal;
        const char* fatVerify;
        const char* speedText;
        int slider;
        const char* buzzer;
    };
    const Case cases[] = {
        {"no file", nullptr, "SOLVAN", "11289600", "Enable", "1", 1, "ON"},
        {"no section", "[Other]\r\nSelectChip=HERON\r\n", "SOLVAN", "11289600", "Enable", "1", 1, "ON"},
        {"chip in lower case", "[previoussetvalue]\r\nselectchip=solvan\r\n", "SOLVAN", "11289600", "Enable", "1", 1, "ON"},
        {"chip that is no name", "[PreviousSetValue]\r\nSelectChip=Z80\r\n", "", "", "", "1", 1, "ON"},
        {"speed beyond the slider", "[PreviousSetValue]\r\nDownloadSpeed=15\r\nBuzzer=off\r\n", "SOLVAN", "11289600",
         "Enable", "15", 10, "OFF"},
        {"empty buzzer", "[PreviousSetValue]\r\nBuzzer=\r\nSelectChip=HERON\r\n", "HERON", "00000000", "Enable", "1", 1, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        window.reset();
        QFile::remove(dir.filePath(QStringLiteral("Config-VREN_Kesto_Configurator.ini")));
        if (c.file)
            writeSettingsFile(c.file);
        start();
        EXPECT_EQ(page().chipCombo()->currentText(), c.chip);
        EXPECT_EQ(page().crystalEdit()->text(), c.crystal);
        EXPECT_EQ(page().fatVerifyCombo()->currentText(), c.fatVerify);
        EXPECT_EQ(page().speedEdit()->text(), c.speedText);
        EXPECT_EQ(page().speedSlider()->value(), c.slider);
        EXPECT_EQ(page().buzzerCombo()->currentText(), c.buzzer);
        EXPECT_EQ(rows().columnWidth(C::ColSectorNo), 72) << "start-up applies the chip";
    }
}

TEST_F(ConfigLoadSave, SpeedFromTheSettingsFileIsWhatASaveWrites)
{
    writeSettingsFile("[PreviousSetValue]\r\nDownloadSpeed=15\r\n");
    auto w = plug();
    start();
    page().AddTargetRow(1, 8, "a.bin", kTargetInFlash, 0);
    page().RebuildTargetList();
    ASSERT_TRUE(save());
    const auto stored = w->file("config.ini");
    ASSERT_TRUE(stored);
    EXPECT_NE(stored->find("speed (max=10) : 15\r\n"), std::string::npos) << *stored;
}

} // namespace
