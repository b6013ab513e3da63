// In-place edit cells: how an edit ends, what the parent is asked, and in
// which order it is told.

#include "ListTestSupport.h"

#include <QLineEdit>
#include <QPointer>

#include <functional>

using listtest::ListFixture;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

namespace {

constexpr int kSector = 1;

class EditCells : public ListFixture {
public:
    QLineEdit* otherField() const { return other; }

protected:
    // Rows 0 and 1 with an editable "Sector No." cell, and a field outside the list.
    void SetUp() override
    {
        ListFixture::SetUp();
        other = new QLineEdit(window.get());
        window->layout()->addWidget(other);
        other->show();
        list->AddColumn(0, "File Name", Qt::AlignLeft, 150);
        list->AddColumn(1, "Sector No.", Qt::AlignHCenter, 72);
        for (int row = 0; row < 2; ++row) {
            list->AddRow(row, QString("file%1.bin").arg(row));
            list->SetCellText(row, kSector, QString::number(8 * (row + 1)));
            list->SetCellEditable(row, kSector);
        }
        list->SetEndLabelEditHandler([this](int row, int column, const QString* text) {
            record(text ? ("label:" + text->toStdString()).c_str() : "label:none", row, column);
            return handler ? handler(text) : answer;
        });
    }

    CXEdit* openAndType(int row, const QString& keys)
    {
        clickCell(row, kSector);
        CXEdit* editor = list->GetOpenEditor();
        if (editor)
            QTest::keyClicks(editor, keys); // replaces the selected old text
        return editor;
    }

    QLineEdit* other = nullptr;
    bool answer = true;
    std::function<bool(const QString*)> handler;
};

TEST_F(EditCells, ClickOpensAFieldOverTheCellWithItsText)
{
    clickCell(0, kSector);
    CXEdit* editor = list->GetOpenEditor();
    ASSERT_NE(editor, nullptr);
    EXPECT_TRUE(editor->isVisible());
    EXPECT_TRUE(editor->hasFocus());
    EXPECT_EQ(editor->text(), "8");
    EXPECT_EQ(editor->geometry(), list->visualRect(list->model()->index(0, kSector)));

    // Neither a plain nor a disabled editable cell opens one elsewhere.
    list->EndEdit(false);
    clickCell(0, 0);
    EXPECT_EQ(list->GetOpenEditor(), nullptr);
    list->SetCellEnabled(1, kSector, false);
    clickCell(1, kSector);
    EXPECT_EQ(list->GetOpenEditor(), nullptr);
}

struct EditEnding {
    const char* name;
    bool parentAccepts;
    std::function<void(EditCells*, CXEdit*)> end;
    std::vector<std::string> events;
    const char* text; // in row 0 afterwards
    bool modified;
};

void PrintTo(const EditEnding& c, std::ostream* os)
{
    *os << c.name;
}

class EditEndings : public EditCells, public ::testing::WithParamInterface<EditEnding> {
public:
    static void enter(EditCells*, CXEdit* e) { QTest::keyClick(e, Qt::Key_Return); }
    static void escape(EditCells*, CXEdit* e) { QTest::keyClick(e, Qt::Key_Escape); }
    static void clickElsewhere(EditCells* t, CXEdit*) { t->otherField()->setFocus(Qt::MouseFocusReason); }
};

TEST_P(EditEndings, EndsAsTheKeyAndTheParentSay)
{
    const EditEnding& c = GetParam();
    answer = c.parentAccepts;
    QPointer<CXEdit> editor = openAndType(0, "16");
    ASSERT_NE(editor, nullptr);

    c.end(this, editor);

    EXPECT_THAT(events, ElementsAreArray(c.events));
    EXPECT_EQ(list->GetCellText(0, kSector), c.text);
    EXPECT_EQ(list->GetCellModified(0, kSector), c.modified);
    EXPECT_EQ(list->GetOpenEditor(), nullptr);
    EXPECT_TRUE(!editor || !editor->isVisible());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EditEndings,
    ::testing::Values(
        EditEnding{"EnterAccepted", true, &EditEndings::enter, {"label:16(0,1)", "editEnd(0,1)"}, "16", true},
        EditEnding{"EnterRefusedKeepsOldText", false, &EditEndings::enter, {"label:16(0,1)", "editEnd(0,1)"}, "8",
                   false},
        EditEnding{"FocusLossEndsLikeEnter", true, &EditEndings::clickElsewhere, {"label:16(0,1)", "editEnd(0,1)"},
                   "16", true},
        EditEnding{"EscapeCancelsWithoutEditEnd", true, &EditEndings::escape, {"label:none(0,1)"}, "8", false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(EditCells, ClickOnAnotherCellEndsTheEditBeforeThatClickActs)
{
    openAndType(0, "42");
    clickCell(1, kSector);

    EXPECT_THAT(events, ElementsAre("label:42(0,1)", "editEnd(0,1)"));
    EXPECT_EQ(list->GetCellText(0, kSector), "42");
    ASSERT_NE(list->GetOpenEditor(), nullptr); // the click opened row 1's field
    EXPECT_EQ(list->GetOpenEditor()->text(), "16");
}

TEST_F(EditCells, ParentTakingTheFocusWhileAskedEndsTheEditOnce)
{
    // A parent refusing with a message box takes the focus from the field.
    handler = [this](const QString*) {
        other->setFocus(Qt::OtherFocusReason);
        QCoreApplication::processEvents();
        return false;
    };
    openAndType(0, "1x");
    QTest::keyClick(list->GetOpenEditor(), Qt::Key_Return);

    EXPECT_THAT(events, ElementsAre("label:1x(0,1)", "editEnd(0,1)"));
    EXPECT_EQ(list->GetCellText(0, kSector), "8");
}

TEST_F(EditCells, EditFollowsItsCellWhenRowsAreInsertedAbove)
{
    openAndType(0, "24");
    list->AddRow(0, "new.bin");
    QCoreApplication::processEvents(); // lets the view lay the rows out again
    EXPECT_EQ(list->GetOpenEditor()->geometry(), list->visualRect(list->model()->index(1, kSector)));

    QTest::keyClick(list->GetOpenEditor(), Qt::Key_Return);

    EXPECT_THAT(events, ElementsAre("label:24(1,1)", "editEnd(1,1)"));
    EXPECT_EQ(list->GetCellText(1, kSector), "24");
    EXPECT_EQ(list->GetCellText(0, kSector), "");
}

TEST_F(EditCells, ParentEmptyingTheListWhileAskedGetsNoEditEnd)
{
    handler = [this](const QString*) {
        list->RemoveAllRows();
        return true;
    };
    openAndType(0, "24");
    QTest::keyClick(list->GetOpenEditor(), Qt::Key_Return);

    EXPECT_THAT(events, ElementsAre("label:24(0,1)"));
    EXPECT_EQ(list->GetRowCount(), 0);
}

TEST(ListGoingAway, WithAnOpenFieldOrDropDownTellsNobody)
{
    // A window tears its own parts down before its widgets go; a handler or
    // slot run then would reach a half-destroyed page.
    for (const bool dropDown : {false, true}) {
        SCOPED_TRACE(dropDown ? "drop-down" : "edit field");
        auto window = std::make_unique<QWidget>();
        auto* layout = new QVBoxLayout(window.get());
        auto* list = new CXListCtrl;
        layout->addWidget(list);
        list->AddColumn(0, "Cell", Qt::AlignLeft, 90);
        list->AddRow(0, "8");
        list->SetCellEditable(0, 0);
        if (dropDown)
            list->SetCellChoices(0, 0, true, {"p", "q"});
        int told = 0;
        list->SetEndLabelEditHandler([&](int, int, const QString*) { return ++told > 0; });
        QObject::connect(list, &CXListCtrl::editEnd, [&] { ++told; });
        QObject::connect(list, &CXListCtrl::comboSelection, [&] { ++told; });
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        ASSERT_TRUE(dropDown ? list->OpenChoice(0, 0) : list->OpenEditor(0, 0));

        window.reset();
        QCoreApplication::processEvents();
        EXPECT_EQ(told, 0);
    }
}

TEST_F(EditCells, WithoutAHandlerTheNewTextIsTaken)
{
    list->SetEndLabelEditHandler(nullptr);
    openAndType(1, "100");
    QTest::keyClick(list->GetOpenEditor(), Qt::Key_Enter);

    EXPECT_THAT(events, ElementsAre("editEnd(1,1)"));
    EXPECT_EQ(list->GetCellText(1, kSector), "100");
}

} // namespace
