#include "app/COptionTabCtrl.h"
#include "app/TabImages.h"

#include "test_support.h"

#include <QImage>
#include <QLabel>
#include <QTabBar>
#include <QTest>

#include <functional>

#include <gtest/gtest.h>

namespace {

const QColor kBlue(0, 0, 255);
const QColor kOrange(255, 128, 0);

// The two pages as the main window sets them up: the configuration page
// created as a child of the control, the initialization page without a
// parent, which AddPage must adopt.
struct TabHost {
    TabHost()
    {
        control.resize(366, 478);
        configPage = new QLabel(QStringLiteral("config page"), &control);
        configPage->resize(360, 450);
        initPage = new QLabel(QStringLiteral("init page"));
        initPage->resize(300, 400);
        control.setImageList(makeTabImages());
        control.AddPage(QStringLiteral("Config Load/Save"), 1, configPage);
        control.AddPage(QStringLiteral("Kesto Initial"), 0, initPage);
        control.setSelectedColour(kBlue);
        control.setHotColour(kOrange);
        control.SelectFirstPage();
    }

    void show()
    {
        control.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&control));
        // The pointer stays where the last test left it: park it on the page.
        pointerTo(configPage, QPoint(100, 100));
    }

    QWidget* strip() const { return control.tabBar(); }
    QPoint tabCentre(int index) const { return control.tabRect(index).center(); }

    void click(int index) { QTest::mouseClick(strip(), Qt::LeftButton, {}, tabCentre(index)); }
    // A real pointer move: under both the offscreen and the X platform it
    // moves QCursor::pos and sends the strip its enter and move events.
    void pointerTo(QWidget* widget, QPoint pos) { QTest::mouseMove(widget, pos); }

    int visiblePage() const
    {
        if (configPage->isVisibleTo(&control) && !initPage->isVisibleTo(&control))
            return 0;
        if (initPage->isVisibleTo(&control) && !configPage->isVisibleTo(&control))
            return 1;
        return -1; // none or both
    }

    COptionTabCtrl control;
    QWidget* configPage;
    QWidget* initPage;
};

bool hasPixel(const QImage& image, const QRect& area, const QColor& colour)
{
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (image.pixelColor(x, y).rgb() == colour.rgb())
                return true;
        }
    }
    return false;
}

// Whether the strip shows a tab's image where it belongs: one blank in from
// the tab's inner edge, at the top of the area below the tab's top edge.
// Tabs other than the selected one stand one edge lower.
bool showsImageOf(const TabHost& host, const QImage& strip, int tab)
{
    const QImage wanted = host.control.imageList().at(host.control.imageIndex(tab)).toImage();
    const int edge = COptionTabCtrl::kEdge;
    const int blank = QFontMetrics(host.strip()->font()).horizontalAdvance(QLatin1Char(' '));
    const int lowered = tab == host.control.selectedTab() ? 0 : edge;
    const QPoint origin = host.control.tabRect(tab).topLeft() + QPoint(edge + blank, edge + lowered);
    for (int y = 0; y < wanted.height(); ++y) {
        for (int x = 0; x < wanted.width(); ++x) {
            const QColor pixel = wanted.pixelColor(x, y);
            if (pixel.alpha() == 255 && strip.pixelColor(origin + QPoint(x, y)).rgb() != pixel.rgb())
                return false;
        }
    }
    return true;
}

TEST(OptionTabCtrl, AddedPagesSitBelowTheStripWithOnlyTheFirstShown)
{
    TabHost host;
    host.show();

    EXPECT_EQ(host.control.count(), 2);
    EXPECT_EQ(host.control.selectedTab(), 0);
    EXPECT_EQ(host.control.currentTab(), 0);
    EXPECT_EQ(host.visiblePage(), 0);
    EXPECT_EQ(host.control.page(0), host.configPage);
    EXPECT_EQ(host.control.page(1), host.initPage);
    EXPECT_EQ(host.control.imageIndex(0), 1);
    EXPECT_EQ(host.control.imageIndex(1), 0);
    EXPECT_EQ(host.control.tabBar()->tabText(0), QStringLiteral("Config Load/Save"));
    EXPECT_EQ(host.control.tabBar()->tabText(1), QStringLiteral("Kesto Initial"));

    for (QWidget* page : {host.configPage, host.initPage}) {
        EXPECT_EQ(page->parentWidget(), &host.control);
        EXPECT_EQ(page->pos(), QPoint(2, 22));
    }
    EXPECT_EQ(host.configPage->size(), QSize(360, 450));
    EXPECT_EQ(host.initPage->size(), QSize(300, 400));

    // Fixed-size tabs, each wide enough for its image and caption, and the
    // strip ends above the pages.
    const QRect tab0 = host.control.tabRect(0);
    const QRect tab1 = host.control.tabRect(1);
    EXPECT_EQ(tab0.size(), tab1.size());
    const QFontMetrics metrics(host.control.tabBar()->font());
    EXPECT_GT(tab0.width(), metrics.horizontalAdvance(QStringLiteral("Config Load/Save")) + kTabImageWidth);
    EXPECT_LE(host.strip()->geometry().bottom(), 22);
    EXPECT_EQ(host.control.tabAt(tab1.center()), 1);
    EXPECT_EQ(host.control.tabAt(QPoint(100, 200)), -1);
}

TEST(OptionTabCtrl, ClickingATabSwapsThePagesAndSelectFirstPageSwapsBack)
{
    TabHost host;
    host.show();

    host.click(1);
    EXPECT_EQ(host.control.selectedTab(), 1);
    EXPECT_EQ(host.control.currentTab(), 1);
    EXPECT_EQ(host.control.previousTab(), 0);
    EXPECT_EQ(host.visiblePage(), 1);
    EXPECT_EQ(host.initPage->pos(), QPoint(2, 22));

    // A click on the tab already selected changes nothing.
    host.click(1);
    EXPECT_EQ(host.control.currentTab(), 1);
    EXPECT_EQ(host.control.previousTab(), 0);
    EXPECT_EQ(host.visiblePage(), 1);

    host.control.SelectFirstPage();
    EXPECT_EQ(host.control.selectedTab(), 0);
    EXPECT_EQ(host.control.currentTab(), 0);
    EXPECT_EQ(host.control.previousTab(), 1);
    EXPECT_EQ(host.visiblePage(), 0);

    // Again, with tab 0 selected: nothing to do.
    host.control.SelectFirstPage();
    EXPECT_EQ(host.control.previousTab(), 1);
    EXPECT_EQ(host.visiblePage(), 0);

    host.click(1);
    host.click(0);
    EXPECT_EQ(host.control.currentTab(), 0);
    EXPECT_EQ(host.control.previousTab(), 1);
    EXPECT_EQ(host.visiblePage(), 0);
}

// SelectFirstPage called before anything was shown (as at start-up, after a
// tab other than the first was selected by code).
TEST(OptionTabCtrl, SelectFirstPageWorksBeforeTheControlIsShown)
{
    TabHost host;
    host.control.tabBar()->setCurrentIndex(1);
    EXPECT_EQ(host.visiblePage(), 1);
    host.control.SelectFirstPage();
    EXPECT_EQ(host.control.currentTab(), 0);
    EXPECT_EQ(host.visiblePage(), 0);
}

TEST(OptionTabCtrl, PointerOverATabMakesItHotUntilItLeaves)
{
    TabHost host;
    host.show();
    const QColor normal = host.control.palette().color(QPalette::ButtonText);
    ASSERT_NE(normal.rgb(), kOrange.rgb());

    struct Step {
        const char* where;
        std::function<void(TabHost&)> move;
        int hot;
        QColor tab0;
        QColor tab1;
    };
    const Step steps[] = {
        {"nothing hovered yet", [](TabHost&) {}, -1, kBlue, normal},
        {"over the unselected tab", [](TabHost& h) { h.pointerTo(h.strip(), h.tabCentre(1)); },
         1, kBlue, kOrange},
        {"over the selected tab, which stays blue",
         [](TabHost& h) { h.pointerTo(h.strip(), h.tabCentre(0)); }, 0, kBlue, normal},
        {"back over the unselected tab", [](TabHost& h) { h.pointerTo(h.strip(), h.tabCentre(1)); },
         1, kBlue, kOrange},
        {"strip beside the tabs",
         [](TabHost& h) { h.pointerTo(h.strip(), QPoint(h.strip()->width() - 3, 5)); }, -1, kBlue,
         normal},
        {"again over the unselected tab", [](TabHost& h) { h.pointerTo(h.strip(), h.tabCentre(1)); },
         1, kBlue, kOrange},
        {"down into the page", [](TabHost& h) { h.pointerTo(h.configPage, QPoint(100, 100)); }, -1,
         kBlue, normal},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.where);
        step.move(host);
        EXPECT_TRUE(testsupport::waitUntil([&] { return host.control.hotTab() == step.hot; }, 500))
            << "hotTab " << host.control.hotTab();
        EXPECT_EQ(host.control.tabTextColour(0).rgb(), step.tab0.rgb());
        EXPECT_EQ(host.control.tabTextColour(1).rgb(), step.tab1.rgb());
    }
    // Nothing hot: the check has stopped.
    EXPECT_FALSE(host.control.hoverTracking());
}

// The pointer can leave without the strip hearing of it; the 10 ms check
// notices then. The pointer here moves without any event being sent.
TEST(OptionTabCtrl, HoverCheckFollowsThePointerWithoutEvents)
{
    TabHost host;
    host.show();
    QPoint pointer = host.strip()->mapToGlobal(host.tabCentre(1));
    host.control.setPointerSource([&] { return pointer; });

    host.control.pointerMoved();
    EXPECT_EQ(host.control.hotTab(), 1);
    EXPECT_TRUE(host.control.hoverTracking());

    // Staying on the tab keeps it hot across many checks.
    QTest::qWait(60);
    EXPECT_EQ(host.control.hotTab(), 1);
    EXPECT_TRUE(host.control.hoverTracking());

    pointer = host.strip()->mapToGlobal(host.tabCentre(0));
    EXPECT_TRUE(testsupport::waitUntil([&] { return host.control.hotTab() == 0; }, 500));

    pointer = host.control.mapToGlobal(QPoint(-50, -50));
    QElapsedTimer left;
    left.start();
    EXPECT_TRUE(testsupport::waitUntil([&] { return host.control.hotTab() == -1; }, 500));
    EXPECT_LT(left.elapsed(), 200);
    EXPECT_FALSE(host.control.hoverTracking());
}

// What reaches the screen: captions in their colours, images after a blank.
TEST(OptionTabCtrl, TabsAreDrawnWithImagesAndCaptionColours)
{
    TabHost host;
    host.show();
    const auto strip = [&] { return host.strip()->grab().toImage(); };
    const QRect tab0 = host.control.tabRect(0);
    const QRect tab1 = host.control.tabRect(1);

    QImage image = strip();
    EXPECT_TRUE(hasPixel(image, tab0, kBlue));
    EXPECT_FALSE(hasPixel(image, tab1, kBlue));
    EXPECT_FALSE(hasPixel(image, tab1, kOrange));
    EXPECT_TRUE(showsImageOf(host, image, 0));
    EXPECT_TRUE(showsImageOf(host, image, 1));

    host.pointerTo(host.strip(), host.tabCentre(1));
    ASSERT_TRUE(testsupport::waitUntil([&] { return host.control.hotTab() == 1; }, 500));
    image = strip();
    EXPECT_TRUE(hasPixel(image, tab1, kOrange));
    EXPECT_FALSE(hasPixel(image, tab0, kOrange));

    host.click(1);
    image = strip();
    EXPECT_TRUE(hasPixel(image, tab1, kBlue));
    EXPECT_FALSE(hasPixel(image, tab1, kOrange));
    EXPECT_FALSE(hasPixel(image, tab0, kBlue));
    EXPECT_TRUE(showsImageOf(host, image, 0));
    EXPECT_TRUE(showsImageOf(host, image, 1));
}

TEST(OptionTabImages, TwoImagesElevenPixelsWideWithTransparentCorners)
{
    const QList<QPixmap> images = makeTabImages();
    ASSERT_EQ(images.size(), 2);
    for (const QPixmap& pixmap : images) {
        EXPECT_EQ(pixmap.size(), QSize(kTabImageWidth, kTabImageHeight));
        const QImage image = pixmap.toImage();
        EXPECT_EQ(image.pixelColor(0, 0).alpha(), 0);
        EXPECT_EQ(image.pixelColor(kTabImageWidth - 1, 0).alpha(), 0);
    }
    EXPECT_NE(images[0].toImage(), images[1].toImage());
}

} // namespace
