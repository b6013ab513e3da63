// The grid list's operations: cell records and their defaults, structure,
// colours as drawn, heights, and the empty-list text.

#include "ListTestSupport.h"

#include <QImage>
#include <QPainter>
#include <QProxyStyle>
#include <QStyleOption>

#include "widgets/CXHeaderCtrl.h"

#include <algorithm>
#include <functional>

using listtest::ListFixture;
using ::testing::ElementsAre;

namespace {

class ListOperations : public ListFixture {
protected:
    // Two rows of three columns: "a0 b0 c0", "a1 b1 c1".
    void SetUp() override
    {
        ListFixture::SetUp();
        list->AddColumn(0, "A", Qt::AlignLeft, 80);
        list->AddColumn(1, "B", Qt::AlignHCenter, 80, 1);
        list->AddColumn(2, "C", Qt::AlignRight, 80);
        for (int row = 0; row < 2; ++row) {
            list->AddRow(row, QString("a%1").arg(row));
            list->SetCellText(row, 1, QString("b%1").arg(row));
            list->SetCellText(row, 2, QString("c%1").arg(row));
        }
    }

    std::vector<std::string> rowTexts(int row) const
    {
        std::vector<std::string> texts;
        for (int column = 0; column < list->GetColumnCount(); ++column)
            texts.push_back(list->GetCellText(row, column).toStdString());
        return texts;
    }
};

TEST_F(ListOperations, NewCellHasTheDefaults)
{
    const int row = list->AddRow(2, "x");
    ASSERT_EQ(row, 2);
    EXPECT_THAT(rowTexts(row), ElementsAre("x", "", ""));
    for (int column = 0; column < 3; ++column) {
        SCOPED_TRACE(column);
        QColor text, background;
        ASSERT_TRUE(list->GetCellColors(row, column, text, background));
        EXPECT_EQ(text, list->palette().color(QPalette::Text));
        EXPECT_EQ(background, list->palette().color(QPalette::Base));
        EXPECT_TRUE(list->GetCellEnabled(row, column));
        EXPECT_FALSE(list->GetCellModified(row, column));
        EXPECT_EQ(list->GetCellCheck(row, column), 0);
        EXPECT_TRUE(list->GetCellChoices(row, column).isEmpty());
    }
    EXPECT_EQ(list->GetHeaderTextColor(), list->GetHeaderCtrl()->palette().color(QPalette::ButtonText));
    EXPECT_EQ(list->GetHeaderCtrl()->height(), 20);
}

TEST_F(ListOperations, OperationOnAMissingRowOrColumnDoesNothing)
{
    struct Op {
        const char* name;
        std::function<bool(CXListCtrl*, int row, int column)> run;
    };
    const Op ops[] = {
        {"SetCellText", [](CXListCtrl* l, int r, int c) { return l->SetCellText(r, c, "z"); }},
        {"SetCellText+colours",
         [](CXListCtrl* l, int r, int c) { return l->SetCellText(r, c, QString("z"), Qt::red, Qt::blue); }},
        {"SetCellColors", [](CXListCtrl* l, int r, int c) { return l->SetCellColors(r, c, Qt::red, Qt::blue); }},
        {"GetCellColors",
         [](CXListCtrl* l, int r, int c) {
             QColor t, b;
             return l->GetCellColors(r, c, t, b);
         }},
        {"SetCellAlignment", [](CXListCtrl* l, int r, int c) { return l->SetCellAlignment(r, c, Qt::AlignRight); }},
        {"SetCellCheck", [](CXListCtrl* l, int r, int c) { return l->SetCellCheck(r, c, 2); }},
        {"GetCellCheck", [](CXListCtrl* l, int r, int c) { return l->GetCellCheck(r, c) != 0; }},
        {"SetCellEditable", [](CXListCtrl* l, int r, int c) { return l->SetCellEditable(r, c); }},
        {"SetCellChoices",
         [](CXListCtrl* l, int r, int c) { return l->SetCellChoices(r, c, true, {"p", "q"}, 10, 0); }},
        {"SetCellEnabled", [](CXListCtrl* l, int r, int c) { return l->SetCellEnabled(r, c, false); }},
        {"SetCellModified", [](CXListCtrl* l, int r, int c) { return l->SetCellModified(r, c, true); }},
        {"GetCellText", [](CXListCtrl* l, int r, int c) { return !l->GetCellText(r, c).isEmpty(); }},
        {"ClickCellCheckBox", [](CXListCtrl* l, int r, int c) { return l->ClickCellCheckBox(r, c); }},
        {"OpenChoice", [](CXListCtrl* l, int r, int c) { return l->OpenChoice(r, c); }},
        {"PickChoice", [](CXListCtrl* l, int r, int c) { return l->PickChoice(r, c, 0); }},
        {"OpenEditor", [](CXListCtrl* l, int r, int c) { return l->OpenEditor(r, c); }},
    };
    const std::pair<int, int> missing[] = {{2, 0}, {-1, 0}, {0, 3}, {0, -2}, {99, 99}};
    for (const Op& op : ops) {
        for (const auto& [row, column] : missing) {
            SCOPED_TRACE(std::string(op.name) + " at " + std::to_string(row) + "," + std::to_string(column));
            EXPECT_FALSE(op.run(list, row, column));
        }
    }
    EXPECT_FALSE(list->RemoveColumn(3));
    EXPECT_FALSE(list->SetRowData(2, 1));
    EXPECT_FALSE(list->SetHeaderCheck(3, 1));
    EXPECT_FALSE(list->ClickHeaderCheckBox(3));
    EXPECT_FALSE(list->SetHeaderTextColor(0, Qt::red)); // one colour for all columns: -1 only

    EXPECT_EQ(list->GetRowCount(), 2);
    EXPECT_EQ(list->GetColumnCount(), 3);
    EXPECT_THAT(rowTexts(0), ElementsAre("a0", "b0", "c0"));
    EXPECT_THAT(rowTexts(1), ElementsAre("a1", "b1", "c1"));
    EXPECT_TRUE(events.empty());
}

TEST_F(ListOperations, RowsAndColumnsMoveWithTheirCells)
{
    list->SetCellCheck(1, 1, 2);
    list->SetRowData(1, QByteArray("\xB1\xDB", 2));

    EXPECT_EQ(list->AddRow(0, "top"), 0);
    EXPECT_EQ(list->AddRow(50, "end"), 3); // past the end appends
    EXPECT_EQ(list->AddRow(-1, "bad"), -1);
    EXPECT_THAT(rowTexts(0), ElementsAre("top", "", ""));
    EXPECT_THAT(rowTexts(2), ElementsAre("a1", "b1", "c1"));
    EXPECT_EQ(list->GetCellCheck(2, 1), 2);
    EXPECT_EQ(list->GetRowData(2).toByteArray(), QByteArray("\xB1\xDB", 2));

    EXPECT_EQ(list->AddColumn(1, "New", Qt::AlignLeft, 40), 1);
    EXPECT_THAT(rowTexts(2), ElementsAre("a1", "", "b1", "c1"));
    EXPECT_EQ(list->GetCellCheck(2, 2), 2);
    EXPECT_EQ(list->GetHeaderCheck(2), 2); // the column's only box is checked
    EXPECT_EQ(list->columnWidth(1), 40);

    EXPECT_TRUE(list->RemoveColumn(2));
    EXPECT_THAT(rowTexts(2), ElementsAre("a1", "", "c1"));
    EXPECT_EQ(list->GetHeaderCheck(2), 0);

    list->RemoveAllRows();
    EXPECT_EQ(list->GetRowCount(), 0);
    EXPECT_EQ(list->GetColumnCount(), 3);
}

TEST_F(ListOperations, CellsAreDrawnInTheirColours)
{
    // Empty cells, so the centre pixel is the background.
    const QColor grey(200, 200, 200);
    const QColor pink(255, 0, 200);
    list->AddRow(2, QString());
    list->AddRow(3, QString());
    list->SetCellColors(2, -1, Qt::black, grey);                  // the whole row
    list->SetCellText(3, 1, std::nullopt, Qt::black, pink);       // colours only
    list->SetCellText(3, 2, QString("txt"), QColor(), QColor());  // back to the defaults
    list->SetCellColors(3, 0, QColor(), grey);
    list->SetCellColors(3, 0, QColor(), QColor());

    QColor text, background;
    ASSERT_TRUE(list->GetCellColors(3, 1, text, background));
    EXPECT_EQ(text, QColor(Qt::black));
    EXPECT_EQ(background, pink);
    EXPECT_EQ(list->GetCellText(3, 1), "");
    EXPECT_EQ(list->GetCellText(3, 2), "txt");

    list->clearSelection();
    list->setCurrentIndex({});
    const QImage shot = list->viewport()->grab().toImage();
    auto centre = [&](int row, int column) { return QColor(shot.pixel(cellCenter(row, column))); };
    for (int column = 0; column < 3; ++column)
        EXPECT_EQ(centre(2, column), grey) << column;
    EXPECT_EQ(centre(3, 1), pink);
    EXPECT_EQ(centre(3, 0), list->palette().color(QPalette::Base));
}

TEST_F(ListOperations, RowAndHeaderHeightTakeEffectAtOnce)
{
    for (int height : {25, 18, 40}) {
        SCOPED_TRACE(height);
        ASSERT_TRUE(list->SetRowHeight(height));
        EXPECT_EQ(list->rowHeight(0), height);
        EXPECT_EQ(list->visualRect(list->model()->index(1, 0)).top(), height);

        ASSERT_TRUE(list->SetHeaderHeight(height));
        EXPECT_EQ(list->GetHeaderCtrl()->height(), height);
        // The rows start right under the header without waiting for a layout pass.
        EXPECT_EQ(list->viewport()->geometry().top(), list->GetHeaderCtrl()->geometry().bottom() + 1);
    }
    EXPECT_EQ(list->AddRow(2, "later"), 2);
    EXPECT_EQ(list->rowHeight(2), 40);
    EXPECT_FALSE(list->SetRowHeight(0));
    EXPECT_FALSE(list->SetHeaderHeight(-5));
}

// Text drawn on the viewport in one colour, as horizontal bands of pixel rows.
struct Band {
    int top;
    int bottom;
    int left;
    int right;
};

std::vector<Band> bandsOf(const QImage& image, const QColor& color)
{
    auto near = [&](QRgb p) {
        // Anti-aliased edges blend into the background; the cores are the colour.
        return std::abs(qRed(p) - color.red()) < 40 && std::abs(qGreen(p) - color.green()) < 40
            && std::abs(qBlue(p) - color.blue()) < 40;
    };
    // Rows closer than this belong to one line (a descender's tail after its
    // blended joint); lines are further apart than that.
    constexpr int kJoin = 3;
    std::vector<Band> bands;
    int lastInk = -kJoin - 1;
    for (int y = 0; y < image.height(); ++y) {
        int left = image.width();
        int right = -1;
        for (int x = 0; x < image.width(); ++x) {
            if (near(image.pixel(x, y))) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
        }
        if (right < 0)
            continue;
        if (y - lastInk > kJoin)
            bands.push_back({y, y, left, right});
        Band& b = bands.back();
        b.bottom = y;
        b.left = std::min(b.left, left);
        b.right = std::max(b.right, right);
        lastInk = y;
    }
    return bands;
}

class EmptyText : public ListFixture {
protected:
    void SetUp() override
    {
        ListFixture::SetUp();
        list->AddColumn(0, "Dev No.", Qt::AlignHCenter, 62);
        list->AddColumn(1, "Status", Qt::AlignLeft, 166);
        list->SetHeaderHeight(25);
    }

    std::vector<Band> textBands() const { return bandsOf(list->viewport()->grab().toImage(), color); }

    const QColor color{0, 70, 220};
};

TEST_F(EmptyText, LineBreakGivesTwoCentredLinesBelowTheHeader)
{
    list->SetEmptyText("No USB Devices Connected\r\nMaximum Contact Devices are 10", color);

    const std::vector<Band> bands = textBands();
    ASSERT_EQ(bands.size(), 2u);
    const int middle = list->viewport()->width() / 2;
    for (const Band& b : bands) {
        EXPECT_NEAR((b.left + b.right) / 2.0, middle, 3.0);
        EXPECT_GT(b.top, 0); // a little below the header, inside the rows' area
        EXPECT_LT(b.top, 60);
    }
    // Two lines of different length, not one line cut in two.
    EXPECT_NE(bands[0].right - bands[0].left, bands[1].right - bands[1].left);
}

TEST_F(EmptyText, LongTextWrapsInsideTheList)
{
    const QString text = "No files for target download were found on this writer";
    window->resize(200, 260);
    QCoreApplication::processEvents();
    ASSERT_LT(list->viewport()->width(), list->fontMetrics().horizontalAdvance(text));
    list->SetEmptyText(text, color);

    const std::vector<Band> bands = textBands();
    ASSERT_FALSE(bands.empty());
    // More than one line high (descenders may join the lines into one band).
    EXPECT_GT(bands.back().bottom - bands.front().top + 1, list->fontMetrics().lineSpacing() * 3 / 2);
    for (const Band& b : bands) {
        EXPECT_GT(b.left, 0);
        EXPECT_LT(b.right, list->viewport()->width() - 1);
    }
}

TEST_F(EmptyText, ShownOnlyWhileTheListHasNoRows)
{
    list->SetEmptyText("Nothing here", color);
    EXPECT_EQ(textBands().size(), 1u);

    list->AddRow(0, "1");
    EXPECT_TRUE(textBands().empty());

    list->RemoveAllRows();
    EXPECT_EQ(textBands().size(), 1u);
}

// The style caches header pictures per palette: a header that made a new
// palette on every paint would fill the pixmap cache without end.
TEST_F(ListOperations, HeaderPaintsWithOnePaletteUntilItsColourChanges)
{
    class PaletteKeys : public QProxyStyle {
    public:
        void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                         const QWidget* widget) const override
        {
            if (element == CE_HeaderSection) {
                keys.push_back(option->palette.cacheKey());
                colours.push_back(option->palette.color(QPalette::ButtonText));
            }
            QProxyStyle::drawControl(element, option, painter, widget);
        }
        mutable std::vector<qint64> keys;
        mutable std::vector<QColor> colours;
    };
    PaletteKeys keysStyle;
    PaletteKeys* style = &keysStyle;
    CXHeaderCtrl* header = list->GetHeaderCtrl();
    header->setStyle(style);
    // The header must not outlive its style with a pointer to it.
    struct Restore {
        CXHeaderCtrl* header;
        ~Restore() { header->setStyle(nullptr); }
    } restore{header};
    list->SetHeaderTextColor(-1, QColor(0, 128, 255));

    for (int paint = 0; paint < 3; ++paint)
        header->viewport()->grab();
    ASSERT_GE(style->keys.size(), 6u);
    EXPECT_EQ(std::count(style->keys.begin(), style->keys.end(), style->keys.front()), std::ptrdiff_t(style->keys.size()));
    EXPECT_EQ(style->colours.front(), QColor(0, 128, 255));

    style->keys.clear();
    style->colours.clear();
    list->SetHeaderTextColor(-1, QColor(200, 0, 0));
    header->viewport()->grab();
    header->viewport()->grab();
    ASSERT_FALSE(style->colours.empty());
    EXPECT_EQ(style->colours.back(), QColor(200, 0, 0)) << "a new colour still reaches the paint";
    EXPECT_EQ(std::count(style->keys.begin(), style->keys.end(), style->keys.front()), std::ptrdiff_t(style->keys.size()));
}

} // namespace
