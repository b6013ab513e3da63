// The configuration page: chip rules, the target list's rules, the sector
// text check, the save checks and the page's layout.

#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/CodePage.h"
#include "app/DialogUnits.h"
#include "config/ConfigText.h"
#include "pages/CTab_ConfigSave.h"
#include "recording.h"
#include "test_support.h"
#include "widgets/CXEdit.h"
#include "widgets/CXHeaderCtrl.h"
#include "widgets/CXListCtrl.h"

namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using C = CTab_ConfigSave;

const QColor kGrey(200, 200, 200);
const QColor kWhite(255, 255, 255);

class ConfigPage : public ::testing::Test {
protected:
    void SetUp() override
    {
        page = std::make_unique<CTab_ConfigSave>();
        page->setServices(log, boxes);
        list = page->targetList();
    }

    void selectChip(const QString& name)
    {
        page->chipCombo()->setCurrentIndex(page->chipCombo()->findText(name));
        page->ApplyChipSelection();
    }

    std::vector<std::string> names() const
    {
        std::vector<std::string> out;
        for (int r = 0; r < list->GetRowCount(); ++r)
            out.push_back(list->GetCellText(r, C::ColFileName).toStdString());
        return out;
    }
    std::vector<int> column(int c) const
    {
        std::vector<int> out;
        for (int r = 0; r < list->GetRowCount(); ++r)
            out.push_back(list->GetCellCheck(r, c));
        return out;
    }
    QString cell(int r, int c) const { return list->GetCellText(r, c); }
    QColor background(int r, int c) const
    {
        QColor text, back;
        list->GetCellColors(r, c, text, back);
        return back;
    }
    std::pair<int, int> counts() const
    {
        EXPECT_EQ(page->inFlashCountLabel()->text(), QString::number(page->inFlashCount));
        EXPECT_EQ(page->nandCountLabel()->text(), QString::number(page->nandCount));
        return {page->inFlashCount, page->nandCount};
    }

    RecordingLog log;
    RecordingBoxes boxes;
    std::unique_ptr<CTab_ConfigSave> page;
    CXListCtrl* list = nullptr;
};

// ------------------------------------------------------------------ chips

TEST_F(ConfigPage, EachChipSetsCrystalVerifyEditabilityAndCaptions)
{
    struct Case {
        const char* chip;
        const char* crystal;
        bool crystalEnabled;
        const char* verify;
        bool verifyShown;
        const char* caption;
        const char* unit;
        bool eraseEnabled;
    };
    const Case cases[] = {
        {"moLark", "10000000", true, "Enable", true, "Crystal freq :", "Hz", true},
        {"moLarkL", "2000000", true, "Enable", true, "Crystal freq :", "Hz", true},
        {"moVesa", "12000000", true, "Enable", true, "Crystal freq :", "Hz", true},
        {"BOREAL2", "12000000", true, "Enable", true, "Crystal freq :", "Hz", true},
        {"SOLVAN", "11289600", true, "Enable", true, "Crystal freq :", "Hz", true},
        {"HERON", "00000000", false, "Enable", true, "Crystal freq :", "Hz", false},
        {"QX7", "00004096", true, "Disable", false, "Sector size :", "byte", true},
        {"PLX4410", "16000000", true, "Enable", true, "Crystal freq :", "Hz", true},
        {"PLX4420", "16000000", true, "Enable", true, "Crystal freq :", "Hz", true},
        {"Other", "00000000", false, "Disable", true, "Crystal freq :", "Hz", true},
    };
    page->show();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.chip);
        // From QX7 with erase "Enable" and verify "Disable": every chip must undo them.
        selectChip(QStringLiteral("QX7"));
        page->eraseCombo()->setCurrentIndex(1);
        selectChip(QString::fromLatin1(c.chip));

        EXPECT_EQ(page->crystalEdit()->text(), c.crystal);
        EXPECT_EQ(page->crystalEdit()->isEnabled(), c.crystalEnabled);
        EXPECT_EQ(page->fatVerifyCombo()->currentText(), c.verify);
        EXPECT_EQ(page->fatVerifyCombo()->isVisible(), c.verifyShown);
        EXPECT_EQ(page->fatVerifyLabel()->isVisible(), c.verifyShown);
        EXPECT_EQ(page->crystalLabel()->text(), c.caption);
        EXPECT_EQ(page->crystalUnitLabel()->text(), c.unit);
        EXPECT_EQ(page->eraseCombo()->currentText(), "Disable");
        EXPECT_EQ(page->eraseCombo()->isEnabled(), c.eraseEnabled);
        EXPECT_TRUE(page->eraseCombo()->isVisible());
        EXPECT_EQ(page->settings.selectChip, c.chip);
    }
}

TEST_F(ConfigPage, ReselectingAChipResetsEraseAndTheFieldsAndNoChipKeepsThem)
{
    selectChip(QStringLiteral("SOLVAN"));
    EXPECT_EQ(list->columnWidth(C::ColSectorNo), 72);
    page->eraseCombo()->setCurrentIndex(1);
    page->crystalEdit()->setText(QStringLiteral("12345"));
    selectChip(QStringLiteral("SOLVAN"));
    EXPECT_EQ(page->eraseCombo()->currentText(), "Disable");
    EXPECT_EQ(page->crystalEdit()->text(), "11289600");

    // A chip name matching no row: nothing selected, the crystal text stays.
    page->crystalEdit()->setText(QStringLiteral("777"));
    page->fatVerifyCombo()->setCurrentIndex(0);
    page->eraseCombo()->setCurrentIndex(1);
    selectChip(QStringLiteral("NoSuchChip"));
    EXPECT_EQ(page->chipCombo()->currentIndex(), -1);
    EXPECT_EQ(page->crystalEdit()->text(), "777");
    EXPECT_EQ(page->fatVerifyCombo()->currentText(), "Disable");
    EXPECT_EQ(page->eraseCombo()->currentText(), "Disable");
    EXPECT_EQ(page->settings.selectChip, "");

    // The user's pick in the drop-down applies the chip's rules.
    page->chipCombo()->setCurrentIndex(page->chipCombo()->findText(QStringLiteral("QX7")));
    emit page->chipCombo()->activated(page->chipCombo()->currentIndex());
    EXPECT_EQ(page->crystalUnitLabel()->text(), "byte");
    EXPECT_EQ(page->settings.selectChip, "QX7");
}

TEST_F(ConfigPage, AChipChangeKeepsTheRowsAndGivesEnabledInFlashRowsAFatBox)
{
    page->AddTargetRow(1, 100, "a.bin", kTargetNand, 1);
    page->AddTargetRow(1, 8, "i.bin", kTargetInFlash, 0);
    page->AddTargetRow(0, 0, "off.bin", kTargetInFlash, 0);
    page->RebuildTargetList();
    const auto before = counts();
    selectChip(QStringLiteral("QX7"));

    EXPECT_THAT(names(), ElementsAre("i.bin", "a.bin", "off.bin"));
    EXPECT_THAT(column(C::ColEn), ElementsAre(2, 2, 1));
    EXPECT_THAT(column(C::ColFat), ElementsAre(1, 2, 0));
    EXPECT_EQ(cell(1, C::ColTarget), "NAND");
    EXPECT_EQ(cell(1, C::ColSectorNo), "100");
    EXPECT_FALSE(list->GetCellEnabled(2, C::ColTarget));
    for (int c = 0; c < 5; ++c)
        EXPECT_EQ(background(2, c), kGrey);
    EXPECT_EQ(counts(), before);
    EXPECT_EQ(page->fatRowChecked, 1);
}

// ------------------------------------------------------------ list rules

TEST_F(ConfigPage, RebuildOrdersInFlashThenNandBySectorThenDisabledRowsInTheirOrder)
{
    page->AddTargetRow(1, 16, "i16", kTargetInFlash, 0);
    page->AddTargetRow(0, 5, "off1", kTargetInFlash, 0);
    page->AddTargetRow(1, 8, "n8", kTargetNand, 1);
    page->AddTargetRow(0, 3, "off2", kTargetNand, 1);
    page->AddTargetRow(1, 0, "i0", kTargetInFlash, 0);
    page->AddTargetRow(1, 16, "i16b", kTargetInFlash, 0); // equal sectors keep their order
    page->RebuildTargetList();

    EXPECT_THAT(names(), ElementsAre("i0", "i16", "i16b", "n8", "off1", "off2"));
    EXPECT_THAT(column(C::ColEn), ElementsAre(2, 2, 2, 2, 1, 1));
    EXPECT_THAT(column(C::ColFat), ElementsAre(0, 0, 0, 2, 0, 0));
    EXPECT_EQ(cell(3, C::ColTarget), "NAND");
    EXPECT_EQ(cell(4, C::ColTarget), "");
    EXPECT_EQ(cell(4, C::ColSectorNo), "5");
    for (int c = 0; c < 5; ++c) {
        EXPECT_EQ(background(4, c), kGrey);
        EXPECT_EQ(background(0, c), kWhite);
    }
    EXPECT_EQ(counts(), std::make_pair(3, 1));
    ASSERT_EQ(page->targetEntries.size(), 4u);
    EXPECT_EQ(page->targetEntries[1], (TargetFileEntry{1, "n8", 8, kTargetNand, 1}));
    EXPECT_EQ(page->disabledEntries[1], (TargetFileEntry{0, "off2", 3, kTargetInFlash, 0}));
}

// Two enabled NAND rows and an InFlash row, rebuilt: n1 (sector 8, FAT), n2.
class ConfigPageRows : public ConfigPage {
protected:
    void SetUp() override
    {
        ConfigPage::SetUp();
        page->AddTargetRow(1, 0, "i.bin", kTargetInFlash, 0);
        page->AddTargetRow(1, 8, "n1.bin", kTargetNand, 1);
        page->AddTargetRow(1, 20, "n2.bin", kTargetNand, 0);
        page->RebuildTargetList();
        ASSERT_THAT(names(), ElementsAre("i.bin", "n1.bin", "n2.bin"));
    }
};

TEST_F(ConfigPageRows, ASecondFatRowIsRefusedUntilTheFirstIsGiven)
{
    EXPECT_TRUE(list->ClickCellCheckBox(2, C::ColFat));
    EXPECT_THAT(column(C::ColFat), ElementsAre(0, 2, 1));
    EXPECT_EQ(cell(2, C::ColSectorNo), "20");

    // Unchecking the FAT row's En box frees the FAT for another row.
    EXPECT_TRUE(list->ClickCellCheckBox(1, C::ColEn));
    EXPECT_EQ(page->fatRowChecked, 0);
    EXPECT_EQ(list->GetCellCheck(1, C::ColFat), 0);
    EXPECT_EQ(cell(1, C::ColTarget), "");
    EXPECT_FALSE(list->GetCellEnabled(1, C::ColTarget));
    for (int c = 0; c < 5; ++c)
        EXPECT_EQ(background(1, c), kGrey);
    EXPECT_EQ(counts(), std::make_pair(1, 1));

    EXPECT_TRUE(list->ClickCellCheckBox(2, C::ColFat));
    EXPECT_EQ(list->GetCellCheck(2, C::ColFat), 2);
    EXPECT_EQ(cell(2, C::ColSectorNo), "8");
    EXPECT_EQ(page->fatRowChecked, 1);

    // Unchecking the Fat box gives the sector 0 and frees the FAT again.
    EXPECT_TRUE(list->ClickCellCheckBox(2, C::ColFat));
    EXPECT_EQ(cell(2, C::ColSectorNo), "0");
    EXPECT_EQ(page->fatRowChecked, 0);
}

TEST_F(ConfigPageRows, AReenabledRowIsAnInFlashRow)
{
    list->ClickCellCheckBox(2, C::ColEn);
    EXPECT_EQ(counts(), std::make_pair(1, 1));
    list->ClickCellCheckBox(2, C::ColEn);
    EXPECT_EQ(cell(2, C::ColTarget), "InFlash");
    EXPECT_TRUE(list->GetCellEnabled(2, C::ColTarget));
    EXPECT_EQ(list->GetCellCheck(2, C::ColFat), 0);
    for (int c = 0; c < 5; ++c)
        EXPECT_EQ(background(2, c), kWhite);
    EXPECT_EQ(counts(), std::make_pair(2, 1));
}

TEST_F(ConfigPageRows, ChangingATargetRecountsAndMovesTheFatBox)
{
    // The FAT row becomes InFlash: it loses its box and the FAT.
    EXPECT_TRUE(list->PickChoice(1, C::ColTarget, kTargetInFlash));
    EXPECT_THAT(column(C::ColFat), ElementsAre(0, 0, 1));
    EXPECT_EQ(page->fatRowChecked, 0);
    EXPECT_EQ(counts(), std::make_pair(2, 1));
    EXPECT_EQ(cell(1, C::ColSectorNo), "8");

    EXPECT_TRUE(list->PickChoice(0, C::ColTarget, kTargetNand));
    EXPECT_THAT(column(C::ColFat), ElementsAre(1, 0, 1));
    EXPECT_EQ(counts(), std::make_pair(1, 2));
}

TEST_F(ConfigPageRows, AFatBoxOnAnInFlashRowCannotCarryTheFat)
{
    selectChip(QStringLiteral("SOLVAN")); // leaves the InFlash row an unchecked box
    ASSERT_EQ(list->GetCellCheck(0, C::ColFat), 1);
    list->ClickCellCheckBox(1, C::ColFat); // give up the FAT row
    list->ClickCellCheckBox(0, C::ColFat);
    EXPECT_EQ(list->GetCellCheck(0, C::ColFat), 1);
    EXPECT_EQ(page->fatRowChecked, 0);
    list->ClickCellCheckBox(2, C::ColFat);
    EXPECT_EQ(list->GetCellCheck(2, C::ColFat), 2);
}

TEST_F(ConfigPageRows, EnHeaderEnablesAllAsInFlashOrDisablesAll)
{
    list->ClickCellCheckBox(2, C::ColEn); // one row unchecked: the header checks all
    EXPECT_TRUE(list->ClickHeaderCheckBox(C::ColEn));
    EXPECT_THAT(column(C::ColEn), ElementsAre(2, 2, 2));
    EXPECT_THAT(column(C::ColFat), ElementsAre(0, 0, 0));
    for (int r = 0; r < 3; ++r)
        EXPECT_EQ(cell(r, C::ColTarget), "InFlash");
    EXPECT_EQ(counts(), std::make_pair(3, 0));
    EXPECT_EQ(page->fatRowChecked, 0);

    EXPECT_TRUE(list->ClickHeaderCheckBox(C::ColEn));
    EXPECT_THAT(column(C::ColEn), ElementsAre(1, 1, 1));
    for (int r = 0; r < 3; ++r) {
        EXPECT_EQ(cell(r, C::ColTarget), "");
        EXPECT_EQ(background(r, C::ColFileName), kGrey);
    }
    EXPECT_EQ(counts(), std::make_pair(0, 0));
}

TEST_F(ConfigPageRows, FatHeaderLeavesAtMostOneFatRow)
{
    // Checking all keeps the FAT row the only one.
    list->ClickCellCheckBox(1, C::ColFat); // none now; the header will check all
    ASSERT_EQ(page->fatRowChecked, 0);
    EXPECT_TRUE(list->ClickHeaderCheckBox(C::ColFat));
    ASSERT_TRUE(testsupport::waitUntil([&] { return page->fatRowChecked == 1; }));
    EXPECT_THAT(column(C::ColFat), ElementsAre(0, 2, 1));
    EXPECT_EQ(cell(1, C::ColSectorNo), "8");

    // While a FAT row and another NAND box exist the header reads unchecked,
    // and a click leaves the one FAT row as it is.
    EXPECT_TRUE(list->ClickHeaderCheckBox(C::ColFat));
    QCoreApplication::processEvents();
    EXPECT_THAT(column(C::ColFat), ElementsAre(0, 2, 1));
    EXPECT_EQ(page->fatRowChecked, 1);

    // With the FAT row the only box, the header unchecks it: the FAT is given up.
    list->ClickCellCheckBox(2, C::ColEn);
    ASSERT_EQ(list->GetHeaderCheck(C::ColFat), 2);
    EXPECT_TRUE(list->ClickHeaderCheckBox(C::ColFat));
    ASSERT_TRUE(testsupport::waitUntil([&] { return page->fatRowChecked == 0; }));
    EXPECT_THAT(column(C::ColFat), ElementsAre(0, 1, 0));
    EXPECT_EQ(cell(1, C::ColSectorNo), "0");
}

TEST_F(ConfigPage, DuplicateSectorsOfOneTargetFailTheCheck)
{
    struct Row {
        int enabled;
        int sector;
        int target;
    };
    const struct {
        const char* what;
        std::vector<Row> rows;
        bool passes;
    } cases[] = {
        {"two InFlash rows at 8", {{1, 8, kTargetInFlash}, {1, 8, kTargetInFlash}}, false},
        {"two NAND rows at 8", {{1, 8, kTargetNand}, {1, 8, kTargetNand}}, false},
        {"InFlash and NAND at 8", {{1, 8, kTargetInFlash}, {1, 8, kTargetNand}}, true},
        {"a disabled row at 8", {{1, 8, kTargetInFlash}, {0, 8, kTargetInFlash}}, true},
        {"different sectors", {{1, 8, kTargetInFlash}, {1, 9, kTargetInFlash}, {1, 8, kTargetNand}}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        list->RemoveAllRows();
        for (const Row& r : c.rows)
            page->AddTargetRow(r.enabled, r.sector, "f.bin", r.target, 0);
        page->RebuildTargetList();
        EXPECT_EQ(page->CheckDuplicateSectors(), c.passes);
    }
}

// ---------------------------------------------------------- sector text

TEST_F(ConfigPage, SectorTextCheckRefusesWhatIsNoSectorNumber)
{
    const struct {
        const char* text;
        bool accepted;
    } cases[] = {
        {"12", true},         {"+12", true},         {"", true},          {"  7", true},
        {"2147483647", true}, {"12a", false},        {"7 ", false},       {"abc", false},
        {"+", false},         {"-5", false},         {"2147483648", false}, {"99999999999999999999", false},
    };
    page->AddTargetRow(1, 40, "a.bin", kTargetInFlash, 0);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        boxes.shown();
        const auto shownBefore = boxes.shown().size();
        const QString text = QString::fromLatin1(c.text);
        EXPECT_EQ(page->CheckSectorText(0, C::ColSectorNo, &text), c.accepted);
        EXPECT_EQ(boxes.shown().size() - shownBefore, c.accepted ? 0u : 1u);
    }
    EXPECT_EQ(boxes.shown().front(), "Wrong Number!!!\r\nEnter Correct Sector Number!");

    // Through the list's own editor: a refused text leaves the old number.
    ASSERT_TRUE(list->OpenEditor(0, C::ColSectorNo));
    list->GetOpenEditor()->setText(QStringLiteral("12x"));
    list->EndEdit(true);
    EXPECT_EQ(cell(0, C::ColSectorNo), "40");
    ASSERT_TRUE(list->OpenEditor(0, C::ColSectorNo));
    list->GetOpenEditor()->setText(QStringLiteral("+12"));
    list->EndEdit(true);
    EXPECT_EQ(cell(0, C::ColSectorNo), "+12");
    page->RebuildTargetList();
    EXPECT_EQ(page->targetEntries.at(0).sectorNo, 12);
}

// ------------------------------------------------------------ save check

TEST_F(ConfigPage, SaveCheckSaysWhyTheListCannotBeSaved)
{
    const struct {
        const char* what;
        void (*fill)(CTab_ConfigSave&);
        const char* reasonStart;
    } cases[] = {
        {"empty list", [](CTab_ConfigSave&) {}, "File for configuration setting does not exist!"},
        {"no enabled row",
         [](CTab_ConfigSave& p) {
             p.AddTargetRow(0, 0, "a.bin", 0, 0);
             p.RebuildTargetList();
         },
         "Enabled File does not exist!"},
        {"duplicate sector",
         [](CTab_ConfigSave& p) {
             p.AddTargetRow(1, 8, "a.bin", 0, 0);
             p.AddTargetRow(1, 8, "b.bin", 0, 0);
             p.RebuildTargetList();
         },
         "Same Sector No. exist!"},
        {"61 rows",
         [](CTab_ConfigSave& p) {
             p.AddTargetRow(1, 8, "a.bin", 0, 0);
             for (int i = 0; i < 60; ++i)
                 p.AddTargetRow(0, 0, "x" + std::to_string(i), 0, 0);
             p.RebuildTargetList();
         },
         "Too many files for configuration setting!"},
        {"a name too long for its line",
         [](CTab_ConfigSave& p) {
             p.AddTargetRow(1, 8, std::string(250, 'n'), 0, 0);
             p.RebuildTargetList();
         },
         "File name is too long for configuration setting!"},
        {"a list that fits",
         [](CTab_ConfigSave& p) {
             p.AddTargetRow(1, 8, "a.bin", 0, 0);
             for (int i = 0; i < 59; ++i)
                 p.AddTargetRow(0, 0, "x" + std::to_string(i), 0, 0);
             p.RebuildTargetList();
         },
         ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        list->RemoveAllRows();
        page->inFlashCount = page->nandCount = 0;
        c.fill(*page);
        const std::string reason = page->ConfigSaveProblem();
        EXPECT_THAT(reason, ::testing::StartsWith(c.reasonStart));
        EXPECT_EQ(reason.empty(), std::string(c.reasonStart).empty());
        // What cannot be saved cannot be built either: nothing is cut or spilled.
        if (reason.rfind("Too many", 0) == 0 || reason.rfind("File name", 0) == 0) {
            EXPECT_FALSE(page->BuildConfigText());
        }
    }
}

TEST_F(ConfigPage, BuildsTheExampleFromTheRowsAndKeepsNameBytes)
{
    const std::string hangul = "\xC7\xD1\xB1\xDB.bin";
    const std::string notCodePage = "\x81\x20\xFF.bin";
    page->AddTargetRow(1, 40, hangul, kTargetInFlash, 0);
    page->AddTargetRow(0, 24, notCodePage, kTargetInFlash, 0);
    page->AddTargetRow(1, 100, "b.bin", kTargetNand, 1);
    page->AddTargetRow(1, 8, "a.bin", kTargetInFlash, 0);
    page->RebuildTargetList();
    CTab_ConfigSave::ShowComboValue(page->buzzerCombo(), "on");
    selectChip(QStringLiteral("SOLVAN"));
    page->eraseCombo()->setCurrentIndex(1);
    page->LoadDownloadSpeed(10);
    ASSERT_EQ(page->ConfigSaveProblem(), "");
    EXPECT_EQ(cell(1, C::ColFileName), fromCodePage(hangul));
    EXPECT_TRUE(cell(3, C::ColFileName).contains(QChar::ReplacementCharacter));
    ASSERT_TRUE(page->BuildConfigText());
    EXPECT_THAT(page->configText.linesToSend(list->GetRowCount()),
                ElementsAreArray(std::vector<std::string>{
                    "InFlash count : 2", "NAND count : 1", "-------------------------",
                    "file name / target / start sector / faten", "a.bin / I / 8 / 0", hangul + " / I / 40 / 0",
                    "b.bin / N / 100 / 1", "//" + notCodePage + " / I / 0 / 24", "-------------------------",
                    "speed (max=10) : 10", "buzzer : on", "-------------------------", "Target Chip : SOLVAN",
                    "Target Board Crystal Val : 11289600", "FAT Start Blk : 100", "Verify : Enable",
                    "Erase : Enable", "", "", "", "", "", "", "", "", ""}));
}

// ----------------------------------------------------------- speed, layout

TEST_F(ConfigPage, SliderSetsTheCurrentSpeedAndALoadedSpeedKeepsItsValue)
{
    EXPECT_EQ(page->speedSlider()->minimum(), 1);
    EXPECT_EQ(page->speedSlider()->maximum(), 10);
    EXPECT_EQ(page->speedSlider()->pageStep(), 1);
    EXPECT_EQ(page->speedEdit()->text(), "1");
    page->speedSlider()->setValue(7);
    EXPECT_EQ(page->settings.currentDownloadSpeed, 7);
    EXPECT_EQ(page->speedEdit()->text(), "7");

    page->LoadDownloadSpeed(25);
    EXPECT_EQ(page->settings.downloadSpeed, 25);
    EXPECT_EQ(page->settings.currentDownloadSpeed, 25);
    EXPECT_EQ(page->speedSlider()->value(), 10);
    EXPECT_EQ(page->speedEdit()->text(), "25");
    EXPECT_EQ(page->configSource().downloadSpeed, 25);
}

TEST_F(ConfigPage, ControlsSitWhereTheDialogPlacesThem)
{
    const DialogUnits du(DialogUnits::dialogFont());
    EXPECT_EQ(page->size(), QSize(du.x(241), du.y(280)));
    EXPECT_EQ(list->geometry(), du.rect(8, 27, 226, 99));
    EXPECT_EQ(page->configLoadButton()->geometry(), du.rect(11, 255, 104, 19));
    EXPECT_EQ(page->configSaveButton()->geometry(), du.rect(125, 255, 104, 19));
    EXPECT_EQ(page->speedSlider()->geometry(), du.rect(71, 232, 110, 12));
    EXPECT_EQ(page->crystalEdit()->geometry(), du.rect(56, 163, 47, 11));
    EXPECT_EQ(page->chipCombo()->geometry().topLeft(), du.rect(57, 142, 59, 13).topLeft());
    EXPECT_FALSE(page->configLoadButton()->autoDefault());
    EXPECT_FALSE(page->configSaveButton()->autoDefault());

    const char* headings[] = {"En", "Target", "Fat", "Sector No.", "File Name"};
    // The Target column widens past its 50 pixels when the font needs it to
    // show "InFlash" whole.
    const int targetWidth = std::max(50, list->ChoiceColumnWidth({QStringLiteral("InFlash"), QStringLiteral("NAND")}));
    const int widths[] = {45, targetWidth, 45, 65, 250};
    ASSERT_EQ(list->GetColumnCount(), 5);
    for (int c = 0; c < 5; ++c) {
        EXPECT_EQ(list->model()->headerData(c, Qt::Horizontal).toString(), headings[c]);
        EXPECT_EQ(list->columnWidth(c), widths[c]);
    }
    EXPECT_EQ(list->GetHeaderCheck(C::ColEn), 1);
    EXPECT_EQ(list->GetHeaderCheck(C::ColFat), 1);
    EXPECT_EQ(list->GetEmptyText(), "No files for target download");
    EXPECT_EQ(list->GetHeaderTextColor(), QColor(0, 128, 255));
    EXPECT_EQ(page->chipCombo()->count(), 10);
    EXPECT_EQ(page->chipCombo()->itemText(6), "QX7");
    EXPECT_EQ(page->inFlashCountLabel()->text(), "0");
}

} // namespace
