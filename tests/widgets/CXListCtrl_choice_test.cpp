// Choice cells and their drop-down, driven with the mouse and the keyboard.

#include "ListTestSupport.h"

#include <QPointer>

using listtest::ListFixture;
using ::testing::ElementsAre;

namespace {

constexpr int kTarget = 1;

class ChoiceCells : public ListFixture {
protected:
    // Row 0: an enabled choice on "NAND"; row 1: a disabled one.
    void SetUp() override
    {
        ListFixture::SetUp();
        list->AddColumn(0, "En", Qt::AlignHCenter, 45);
        list->AddColumn(1, "Target", Qt::AlignLeft, 90);
        list->AddColumn(2, "File Name", Qt::AlignLeft, 200);
        list->AddRow(0, QString());
        list->AddRow(1, QString());
        list->SetCellChoices(0, kTarget, true, choices, 10, 1);
        list->SetCellChoices(1, kTarget, true, choices, 10, 0);
        list->SetCellEnabled(1, kTarget, false);
        QObject::connect(list, &CXListCtrl::comboSelection, list,
                         [this](int row, int column) { textWhenTold.push_back(list->GetCellText(row, column)); });
    }

    CXCombo* open(int row)
    {
        clickCell(row, kTarget);
        return list->GetOpenChoice();
    }

    void pickWithMouse(CXCombo* combo, int index)
    {
        const QRect item = combo->visualItemRect(combo->item(index));
        QTest::mouseClick(combo->viewport(), Qt::LeftButton, {}, item.center());
    }

    const QStringList choices = {"InFlash", "NAND"};
    QStringList textWhenTold;
};

TEST_F(ChoiceCells, ChoicesSetTheTextFromTheInitialIndexSortedFirst)
{
    EXPECT_EQ(list->GetCellText(0, kTarget), "NAND");

    struct Case {
        QStringList strings;
        int initial;
        bool sort;
        QString text;
        QStringList stored;
    };
    const Case cases[] = {
        {{"c", "a", "b"}, 1, false, "a", {"c", "a", "b"}},
        {{"c", "a", "b"}, 1, true, "b", {"a", "b", "c"}},
        {{"c", "a", "b"}, 7, false, "c", {"c", "a", "b"}},
        {{"c", "a", "b"}, -1, true, "a", {"a", "b", "c"}},
        {{}, 0, false, "", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.strings.join(',').toStdString() + " initial " + std::to_string(c.initial));
        ASSERT_TRUE(list->SetCellChoices(0, 2, true, c.strings, 10, c.initial, c.sort));
        EXPECT_EQ(list->GetCellText(0, 2), c.text);
        EXPECT_EQ(list->GetCellChoices(0, 2), c.stored);
    }

    // Off: a click no longer opens anything, and the text stays.
    ASSERT_TRUE(list->SetCellChoices(0, kTarget, false));
    EXPECT_EQ(open(0), nullptr);
    EXPECT_EQ(list->GetCellText(0, kTarget), "NAND");
}

TEST_F(ChoiceCells, ClickOpensTheDropDownOnTheInitialChoiceTheFirstTimeOnly)
{
    list->SetCellText(0, kTarget, "InFlash");

    QPointer<CXCombo> combo = open(0);
    ASSERT_NE(combo, nullptr);
    EXPECT_TRUE(combo->isVisible());
    EXPECT_EQ(combo->count(), 2);
    EXPECT_EQ(combo->currentRow(), 1); // the initial choice, not the text
    QTest::keyClick(combo, Qt::Key_Escape);

    combo = open(0);
    ASSERT_NE(combo, nullptr);
    EXPECT_EQ(combo->currentRow(), 0); // from now on the cell's text

    // An empty cell starts on the first choice.
    QTest::keyClick(combo, Qt::Key_Escape);
    list->SetCellText(0, kTarget, QString());
    combo = open(0);
    ASSERT_NE(combo, nullptr);
    EXPECT_EQ(combo->currentRow(), 0);
}

TEST_F(ChoiceCells, PickingTheCurrentChoiceAgainStillNotifies)
{
    QPointer<CXCombo> combo = open(0);
    ASSERT_NE(combo, nullptr);
    pickWithMouse(combo, 1); // "NAND", what the cell already shows

    EXPECT_THAT(events, ElementsAre("comboSelection(0,1)"));
    EXPECT_EQ(list->GetCellText(0, kTarget), "NAND");
    EXPECT_FALSE(list->GetCellModified(0, kTarget));
    EXPECT_EQ(list->GetOpenChoice(), nullptr);
}

TEST_F(ChoiceCells, PickingAnotherChoiceSetsTheTextBeforeNotifying)
{
    QPointer<CXCombo> combo = open(0);
    ASSERT_NE(combo, nullptr);
    pickWithMouse(combo, 0);

    EXPECT_THAT(events, ElementsAre("comboSelection(0,1)"));
    EXPECT_THAT(textWhenTold, ElementsAre("InFlash"));
    EXPECT_TRUE(list->GetCellModified(0, kTarget));
    EXPECT_TRUE(!combo || !combo->isVisible());

    // The keyboard picks too: down to "NAND", Enter.
    combo = open(0);
    ASSERT_NE(combo, nullptr);
    QTest::keyClick(combo, Qt::Key_Down);
    QTest::keyClick(combo, Qt::Key_Return);
    EXPECT_EQ(list->GetCellText(0, kTarget), "NAND");
    EXPECT_EQ(events.size(), 2u);
}

TEST_F(ChoiceCells, EscapeClosesWithoutChangeOrNotification)
{
    QPointer<CXCombo> combo = open(0);
    ASSERT_NE(combo, nullptr);
    QTest::keyClick(combo, Qt::Key_Up); // moves to "InFlash" in the list only
    QTest::keyClick(combo, Qt::Key_Escape);

    EXPECT_TRUE(!combo || !combo->isVisible());
    EXPECT_EQ(list->GetOpenChoice(), nullptr);
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(list->GetCellText(0, kTarget), "NAND");
    EXPECT_FALSE(list->GetCellModified(0, kTarget));
}

TEST_F(ChoiceCells, DisabledChoiceCellDoesNotOpenAndLooksDisabled)
{
    EXPECT_EQ(open(1), nullptr);
    EXPECT_FALSE(list->PickChoice(1, kTarget, 1));
    EXPECT_EQ(list->GetCellText(1, kTarget), "InFlash");

    // Same text, drawn differently once disabled.
    list->SetCellText(0, kTarget, "InFlash");
    list->clearSelection();
    list->setCurrentIndex({});
    const QImage shot = list->viewport()->grab().toImage();
    const QRect r0 = list->visualRect(list->model()->index(0, kTarget));
    const QRect r1 = list->visualRect(list->model()->index(1, kTarget));
    EXPECT_NE(shot.copy(r0), shot.copy(r1));
    list->SetCellEnabled(1, kTarget, true);
    const QImage enabledShot = list->viewport()->grab().toImage();
    EXPECT_EQ(enabledShot.copy(r0), enabledShot.copy(r1));
}

TEST_F(ChoiceCells, DropDownShowsTheGivenNumberOfRowsBelowTheCell)
{
    const QStringList many = {"one", "two", "three", "four", "five"};
    list->SetCellChoices(0, kTarget, true, many, 3, 0);
    QPointer<CXCombo> combo = open(0);
    ASSERT_NE(combo, nullptr);
    EXPECT_EQ(combo->viewport()->height() / combo->sizeHintForRow(0), 3);

    const QRect cell = list->visualRect(list->model()->index(0, kTarget));
    EXPECT_EQ(combo->geometry().top(), list->viewport()->mapToGlobal(cell.bottomLeft()).y() + 1);
    EXPECT_GE(combo->width(), cell.width());
}

TEST_F(ChoiceCells, RemovingTheRowsClosesAnOpenDropDownQuietly)
{
    QPointer<CXCombo> combo = open(0);
    ASSERT_NE(combo, nullptr);
    list->RemoveAllRows();
    EXPECT_EQ(list->GetOpenChoice(), nullptr);
    EXPECT_TRUE(events.empty());
}

} // namespace
