// Check-box cells and the header check box, clicked with the mouse.

#include "ListTestSupport.h"

#include <functional>

using listtest::ListFixture;
using ::testing::ElementsAre;

namespace {

constexpr int kEn = 1;

class CheckBoxes : public ListFixture {
protected:
    // Rows 0-2 carry boxes in "En" (checked, checked, unchecked); row 3 has none.
    void SetUp() override
    {
        ListFixture::SetUp();
        list->AddColumn(0, "Dev No.", Qt::AlignHCenter, 62);
        list->AddColumn(1, "En", Qt::AlignHCenter, 44, 1);
        list->AddColumn(2, "Status", Qt::AlignLeft, 166);
        for (int row = 0; row < 4; ++row)
            list->AddRow(row, QString::number(row + 1));
        list->SetCellCheck(0, kEn, 2);
        list->SetCellCheck(1, kEn, 2);
        list->SetCellCheck(2, kEn, 1);
        // Rows as the parent sees them when told.
        QObject::connect(list, &CXListCtrl::checkBoxClicked, list, [this] { statesWhenTold.push_back(checks(kEn)); });
    }

    std::vector<std::vector<int>> statesWhenTold;
};

TEST_F(CheckBoxes, NewBoxStartsAsSetAndCellWithoutBoxReadsZero)
{
    EXPECT_THAT(checks(kEn), ElementsAre(2, 2, 1, 0));
    EXPECT_EQ(list->GetCellCheck(0, 0), 0);
    EXPECT_EQ(list->GetHeaderCheck(kEn), 1); // follows the rows: one is unchecked
    EXPECT_EQ(list->GetHeaderCheck(0), 0);

    EXPECT_TRUE(list->SetCellCheck(0, 0, 1));
    EXPECT_EQ(list->GetCellCheck(0, 0), 1);
    EXPECT_TRUE(list->SetCellCheck(0, 0, 0)); // removes the box again
    EXPECT_EQ(list->GetCellCheck(0, 0), 0);
    EXPECT_FALSE(list->SetCellCheck(0, 0, 3));
    EXPECT_TRUE(list->CheckBoxRect(0, 0).isEmpty());
}

TEST_F(CheckBoxes, ClickTogglesTheBoxAndNotifiesAfterTheToggle)
{
    clickCheckBox(2, kEn);

    EXPECT_THAT(events, ElementsAre("checkBoxClicked(2,1)"));
    ASSERT_EQ(statesWhenTold.size(), 1u);
    EXPECT_THAT(statesWhenTold[0], ElementsAre(2, 2, 2, 0));
    EXPECT_TRUE(list->GetCellModified(2, kEn));
    EXPECT_FALSE(list->GetCellModified(1, kEn));
    EXPECT_EQ(list->GetHeaderCheck(kEn), 2); // every box now checked; row 3 has none

    clickCheckBox(2, kEn);
    EXPECT_EQ(list->GetCellCheck(2, kEn), 1);
}

TEST_F(CheckBoxes, UncheckingOneRowOfACheckedColumnUnchecksTheHeader)
{
    clickCheckBox(2, kEn);
    ASSERT_EQ(list->GetHeaderCheck(kEn), 2);

    clickCheckBox(0, kEn);

    EXPECT_THAT(checks(kEn), ElementsAre(1, 2, 2, 0));
    EXPECT_EQ(list->GetHeaderCheck(kEn), 1);
}

TEST_F(CheckBoxes, HeaderClickNotifiesWithRowMinusOneFirstThenSetsEveryBox)
{
    clickHeaderBox(kEn);

    EXPECT_THAT(events, ElementsAre("checkBoxClicked(-1,1)"));
    ASSERT_EQ(statesWhenTold.size(), 1u);
    EXPECT_THAT(statesWhenTold[0], ElementsAre(2, 2, 1, 0)); // still the old states
    EXPECT_THAT(checks(kEn), ElementsAre(2, 2, 2, 0));     // the row without a box keeps none
    EXPECT_EQ(list->GetHeaderCheck(kEn), 2);
    EXPECT_TRUE(list->GetCellModified(0, kEn));
    EXPECT_FALSE(list->GetCellModified(3, kEn));

    // All checked: the next header click unchecks them all.
    clickHeaderBox(kEn);
    EXPECT_THAT(statesWhenTold[1], ElementsAre(2, 2, 2, 0));
    EXPECT_THAT(checks(kEn), ElementsAre(1, 1, 1, 0));
    EXPECT_EQ(list->GetHeaderCheck(kEn), 1);
}

TEST_F(CheckBoxes, HeaderWithoutBoxIgnoresClicks)
{
    QTest::mouseClick(list->GetHeaderCtrl()->viewport(), Qt::LeftButton, {},
                      QPoint(list->GetHeaderCtrl()->sectionViewportPosition(2) + 20, 10));
    EXPECT_TRUE(events.empty());
    EXPECT_FALSE(list->ClickHeaderCheckBox(2));
}

// Only a press and a release both over the same enabled box count as a click.
struct PressRelease {
    const char* name;
    std::function<void(CXListCtrl*)> prepare;
    int pressRow;
    bool pressOnBox; // else the far left of the cell
    int releaseRow;
    bool toggles;
};

void PrintTo(const PressRelease& c, std::ostream* os)
{
    *os << c.name;
}

class CheckBoxPressRelease : public CheckBoxes, public ::testing::WithParamInterface<PressRelease> { };

TEST_P(CheckBoxPressRelease, TogglesOnlyForAClickOnTheBox)
{
    const PressRelease& c = GetParam();
    if (c.prepare)
        c.prepare(list);
    const std::vector<int> before = checks(kEn);
    auto point = [this](int row, bool onBox) {
        const QRect cell = list->visualRect(list->model()->index(row, kEn));
        return onBox ? list->CheckBoxRect(row, kEn).center() : QPoint(cell.left() + 2, cell.center().y());
    };

    QTest::mousePress(list->viewport(), Qt::LeftButton, {}, point(c.pressRow, c.pressOnBox));
    QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, point(c.releaseRow, true));

    std::vector<int> expected = before;
    if (c.toggles)
        expected[size_t(c.releaseRow)] = before[size_t(c.releaseRow)] == 1 ? 2 : 1;
    EXPECT_EQ(checks(kEn), expected);
    EXPECT_EQ(events.size(), c.toggles ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CheckBoxPressRelease,
    ::testing::Values(PressRelease{"PressAndReleaseOnBox", nullptr, 1, true, 1, true},
                      PressRelease{"ReleasedOverAnotherRowsBox", nullptr, 1, true, 2, false},
                      PressRelease{"PressedBesideTheBox", nullptr, 1, false, 1, false},
                      PressRelease{"DisabledCell", [](CXListCtrl* l) { l->SetCellEnabled(1, kEn, false); }, 1,
                                   true, 1, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CheckBoxes, QuickSecondClickTogglesAgain)
{
    // A real double click: press, release, double-click press, release.
    const QPoint box = list->CheckBoxRect(2, kEn).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, box);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, box);
    QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, box);

    EXPECT_THAT(events, ElementsAre("checkBoxClicked(2,1)", "checkBoxClicked(2,1)"));
    EXPECT_EQ(list->GetCellCheck(2, kEn), 1);
}

TEST_F(CheckBoxes, BoxesAreDrawnByTheStyleInTheirState)
{
    // The checked and the unchecked box differ on screen, and the pressed one too.
    const QImage shot = list->viewport()->grab().toImage();
    const QImage checked = shot.copy(list->CheckBoxRect(0, kEn));
    const QImage unchecked = shot.copy(list->CheckBoxRect(2, kEn));
    EXPECT_NE(checked, unchecked);
    EXPECT_EQ(checked, shot.copy(list->CheckBoxRect(1, kEn)));

    QTest::mousePress(list->viewport(), Qt::LeftButton, {}, list->CheckBoxRect(2, kEn).center());
    const QImage pressed = list->viewport()->grab().toImage().copy(list->CheckBoxRect(2, kEn));
    QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, list->CheckBoxRect(2, kEn).center());
    EXPECT_NE(pressed, unchecked);
}

} // namespace
