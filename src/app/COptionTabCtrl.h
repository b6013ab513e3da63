#pragma once
// The tab control on the right of the main window: one tab per page, the
// page of the selected tab shown, the tabs drawn by the control itself.
//
// The control is a plain QWidget holding its own tab strip at the top; the
// pages are children of the control and sit at (pageOffsetX, pageOffsetY)
// inside it, below the strip. A QTabWidget would put the pages into a stack
// of its own and lay them out, which is not what the pages expect.
//
// Each tab shows an image from the control's image list and its caption in
// one of three colours: the selected tab in selectedColour, the tab under the
// pointer (hotTab) in hotColour, any other in the palette's button text.
// The tab under the pointer is followed on every pointer move over the strip
// and, while a tab is hot, by a 10 ms check of the pointer position, so the
// colour comes back even when the pointer leaves without a last move event.

#include <QColor>
#include <QList>
#include <QPixmap>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <vector>

class QPainter;
class QTabBar;
class OptionTabStrip;

class COptionTabCtrl : public QWidget {
    Q_OBJECT

public:
    // Width of the 3D edge at the top of a tab and around the page area.
    static constexpr int kEdge = 2;
    // Period of the pointer check while a tab is hot.
    static constexpr int kHoverCheckMs = 10;

    explicit COptionTabCtrl(QWidget* parent = nullptr);
    ~COptionTabCtrl() override;

    // Adds a tab at the end carrying the page and returns its index. The page
    // becomes a child of the control, is moved to (pageOffsetX, pageOffsetY)
    // with its size kept, and is shown only if its tab is the selected one.
    int AddPage(const QString& caption, int imageIndex, QWidget* page);

    // Selects tab 0 and shows its page; nothing happens if it is selected.
    void SelectFirstPage();

    // Images drawn left of the captions, addressed by a tab's image index.
    void setImageList(const QList<QPixmap>& images);
    const QList<QPixmap>& imageList() const { return images_; }

    void setSelectedColour(const QColor& colour);
    void setHotColour(const QColor& colour);
    QColor selectedColour() const { return selectedColour_; }
    QColor hotColour() const { return hotColour_; }

    int count() const;
    int selectedTab() const;
    QWidget* page(int index) const;
    int imageIndex(int index) const;
    QTabBar* tabBar() const;

    int previousTab() const { return previousTab_; }
    int currentTab() const { return currentTab_; }
    int pageOffsetX() const { return pageOffsetX_; }
    int pageOffsetY() const { return pageOffsetY_; }
    int hotTab() const { return hotTab_; }
    bool hoverTracking() const { return hoverTracking_; }

    // A tab's rectangle and the tab at a point, in the control's coordinates.
    QRect tabRect(int index) const;
    int tabAt(QPoint pos) const;

    // The colour the caption of a tab is drawn in at this moment.
    QColor tabTextColour(int index) const;

    // Draws the inside of one tab (fill, image, caption) into itemRect; the
    // strip's paint code calls it after the style has drawn the tab's frame.
    void drawTab(QPainter& painter, int index, const QRect& itemRect) const;

    // Where the pointer is, in global coordinates. QCursor::pos by default;
    // tests replace it to move the pointer without sending any event.
    void setPointerSource(std::function<QPoint()> source);

    // The selection is about to change: remember the tab that is left.
    void selectionChanging();
    // The selection has changed: swap the shown page for the selected one.
    void selectionChanged();

    // The pointer moved over the strip, entered or left it.
    void pointerMoved();
    // One tick of the hover check.
    void hoverCheck();

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void onCurrentChanged(int index);
    int tabUnderPointer() const;
    void setHotTab(int index);
    void updateTab(int index);
    void placeStrip();

    int previousTab_ = 0;
    int pageOffsetX_ = 2;
    int pageOffsetY_ = 22;
    QColor selectedColour_ = QColor(0, 0, 0);
    QColor hotColour_ = QColor(0, 0, 0);
    int hotTab_ = -1;
    bool hoverTracking_ = false;
    int currentTab_ = 0;

    OptionTabStrip* strip_ = nullptr;
    std::vector<QPointer<QWidget>> pages_;
    std::vector<int> imageIndexes_;
    QList<QPixmap> images_;
    QTimer hoverTimer_;
    std::function<QPoint()> pointerSource_;
};
