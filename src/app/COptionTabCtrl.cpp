#include "app/COptionTabCtrl.h"

#include <QCursor>
#include <QEnterEvent>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionTab>
#include <QStyleOptionTabWidgetFrame>
#include <QStylePainter>
#include <QTabBar>

#include <algorithm>
#include <utility>
#include <vector>

// The strip of tabs at the top of the control. It keeps QTabBar's selection
// handling (clicks, keys) and hands drawing and pointer tracking to the
// control, so the logic stays in one place that tests can call.
class OptionTabStrip : public QTabBar {
    Q_OBJECT

public:
    explicit OptionTabStrip(COptionTabCtrl* control)
        : QTabBar(control), control_(control)
    {
        setMouseTracking(true);
        setDrawBase(false);
        setExpanding(false);
        setUsesScrollButtons(false);
        setElideMode(Qt::ElideNone);
    }

    // The tabs reach one pixel into the frame of the page area, so the
    // selected tab covers the frame's top line and opens onto its page.
    int tabHeight() const { return control_->pageOffsetY() - COptionTabCtrl::kEdge + 1; }

protected:
    // All tabs have one width, that of the widest caption with its image.
    QSize tabSizeHint(int) const override
    {
        const QFontMetrics metrics(font());
        const int blank = metrics.horizontalAdvance(QLatin1Char(' '));
        int width = 0;
        for (int i = 0; i < count(); ++i) {
            int natural = metrics.horizontalAdvance(tabText(i)) + 4 * blank;
            const int image = control_->imageIndex(i);
            if (image >= 0 && image < control_->imageList().size())
                natural += blank + control_->imageList().at(image).width();
            width = std::max(width, natural);
        }
        return {width, tabHeight()};
    }

    QSize minimumTabSizeHint(int index) const override { return tabSizeHint(index); }

    void paintEvent(QPaintEvent*) override
    {
        QStylePainter painter(this);
        // The selected tab last: its frame overlaps its neighbours'.
        std::vector<int> order;
        for (int i = 0; i < count(); ++i) {
            if (i != currentIndex())
                order.push_back(i);
        }
        if (currentIndex() >= 0)
            order.push_back(currentIndex());
        for (const int index : order) {
            QStyleOptionTab option;
            initStyleOption(&option, index);
            option.text.clear();
            option.icon = QIcon();
            painter.drawControl(QStyle::CE_TabBarTabShape, option);
            control_->drawTab(painter, index, innerRect(option.rect, index == currentIndex()));
        }
    }

    void mouseMoveEvent(QMouseEvent* event) override
    {
        QTabBar::mouseMoveEvent(event);
        control_->pointerMoved();
    }

    void enterEvent(QEnterEvent* event) override
    {
        QTabBar::enterEvent(event);
        control_->pointerMoved();
    }

    void leaveEvent(QEvent* event) override
    {
        QTabBar::leaveEvent(event);
        control_->pointerMoved();
    }

private:
    // The part of a tab inside the frame the style draws around it. Tabs
    // other than the selected one stand one edge lower.
    static QRect innerRect(const QRect& tab, bool selected)
    {
        const int edge = COptionTabCtrl::kEdge;
        return tab.adjusted(edge, selected ? 0 : edge, -edge, 0);
    }

    COptionTabCtrl* control_;
};

COptionTabCtrl::COptionTabCtrl(QWidget* parent)
    : QWidget(parent), strip_(new OptionTabStrip(this)),
      pointerSource_([] { return QCursor::pos(); })
{
    hoverTimer_.setInterval(kHoverCheckMs);
    connect(&hoverTimer_, &QTimer::timeout, this, &COptionTabCtrl::hoverCheck);
    connect(strip_, &QTabBar::currentChanged, this, &COptionTabCtrl::onCurrentChanged);
    placeStrip();
}

COptionTabCtrl::~COptionTabCtrl() = default;

int COptionTabCtrl::AddPage(const QString& caption, int imageIndex, QWidget* page)
{
    // Known before the tab exists: adding the first tab selects it at once.
    pages_.emplace_back(page);
    imageIndexes_.push_back(imageIndex);
    const int index = strip_->addTab(caption);
    if (page) {
        if (page->parentWidget() != this)
            page->setParent(this);
        page->move(pageOffsetX_, pageOffsetY_);
        page->setVisible(index == strip_->currentIndex());
    }
    placeStrip();
    return index;
}

void COptionTabCtrl::SelectFirstPage()
{
    if (count() == 0 || strip_->currentIndex() == 0)
        return;
    // The strip reports the change, which swaps the pages.
    strip_->setCurrentIndex(0);
}

void COptionTabCtrl::setImageList(const QList<QPixmap>& images)
{
    images_ = images;
    placeStrip();
    strip_->update();
}

void COptionTabCtrl::setSelectedColour(const QColor& colour)
{
    selectedColour_ = colour;
    strip_->update();
}

void COptionTabCtrl::setHotColour(const QColor& colour)
{
    hotColour_ = colour;
    strip_->update();
}

int COptionTabCtrl::count() const
{
    return strip_->count();
}

int COptionTabCtrl::selectedTab() const
{
    return strip_->currentIndex();
}

QWidget* COptionTabCtrl::page(int index) const
{
    if (index < 0 || index >= int(pages_.size()))
        return nullptr;
    return pages_[std::size_t(index)];
}

int COptionTabCtrl::imageIndex(int index) const
{
    if (index < 0 || index >= int(imageIndexes_.size()))
        return -1;
    return imageIndexes_[std::size_t(index)];
}

QTabBar* COptionTabCtrl::tabBar() const
{
    return strip_;
}

QRect COptionTabCtrl::tabRect(int index) const
{
    const QRect rect = strip_->tabRect(index);
    return rect.isValid() ? rect.translated(strip_->pos()) : QRect();
}

int COptionTabCtrl::tabAt(QPoint pos) const
{
    for (int i = 0; i < count(); ++i) {
        if (tabRect(i).contains(pos))
            return i;
    }
    return -1;
}

QColor COptionTabCtrl::tabTextColour(int index) const
{
    if (index == selectedTab())
        return selectedColour_;
    if (index == hotTab_)
        return hotColour_;
    return palette().color(QPalette::ButtonText);
}

void COptionTabCtrl::drawTab(QPainter& painter, int index, const QRect& itemRect) const
{
    if (index < 0 || index >= count())
        return;
    QRect rect = itemRect.adjusted(0, kEdge, 0, 0);

    painter.save();
    painter.fillRect(rect, palette().color(QPalette::Button));

    const int image = imageIndex(index);
    if (image >= 0 && image < images_.size()) {
        const QPixmap& pixmap = images_.at(image);
        rect.setLeft(rect.left() + painter.fontMetrics().horizontalAdvance(QLatin1Char(' ')));
        painter.drawPixmap(rect.topLeft(), pixmap);
        rect.setLeft(rect.left() + pixmap.width());
    }

    painter.setPen(tabTextColour(index));
    rect.setTop(rect.top() - kEdge);
    painter.drawText(rect, Qt::AlignCenter | Qt::TextSingleLine, strip_->tabText(index));
    painter.restore();
}

void COptionTabCtrl::setPointerSource(std::function<QPoint()> source)
{
    pointerSource_ = std::move(source);
}

void COptionTabCtrl::selectionChanging()
{
    previousTab_ = currentTab_;
}

void COptionTabCtrl::selectionChanged()
{
    const int selected = selectedTab();
    if (QWidget* old = page(previousTab_); old && previousTab_ != selected)
        old->hide();
    if (QWidget* shown = page(selected))
        shown->show();
    currentTab_ = selected;
    update();
}

void COptionTabCtrl::onCurrentChanged(int index)
{
    // QTabBar reports a change only after it made it; the tab whose page is
    // still shown is the one being left.
    if (index < 0)
        return;
    selectionChanging();
    selectionChanged();
}

void COptionTabCtrl::pointerMoved()
{
    hoverTimer_.start();
    hoverTracking_ = true;
    hoverCheck();
}

void COptionTabCtrl::hoverCheck()
{
    setHotTab(tabUnderPointer());
    if (hotTab_ < 0) {
        hoverTimer_.stop();
        hoverTracking_ = false;
    }
}

int COptionTabCtrl::tabUnderPointer() const
{
    // A strip that is not on screen has nothing under the pointer.
    if (!strip_->isVisible() || !pointerSource_)
        return -1;
    const QPoint inStrip = strip_->mapFromGlobal(pointerSource_());
    if (!strip_->rect().contains(inStrip))
        return -1;
    return tabAt(strip_->mapTo(this, inStrip));
}

void COptionTabCtrl::setHotTab(int index)
{
    if (index == hotTab_)
        return;
    const int old = hotTab_;
    hotTab_ = index;
    updateTab(old);
    updateTab(index);
}

void COptionTabCtrl::updateTab(int index)
{
    if (index >= 0 && index < count())
        strip_->update(strip_->tabRect(index));
}

void COptionTabCtrl::placeStrip()
{
    strip_->setGeometry(0, 0, width(), strip_->tabHeight());
}

QSize COptionTabCtrl::sizeHint() const
{
    QSize pages;
    for (const QPointer<QWidget>& p : pages_) {
        if (p)
            pages = pages.expandedTo(p->size());
    }
    const int width = std::max(strip_->sizeHint().width(), pageOffsetX_ + pages.width() + kEdge);
    return {width, pageOffsetY_ + pages.height() + kEdge};
}

void COptionTabCtrl::paintEvent(QPaintEvent*)
{
    // The raised frame around the page area, just below the strip.
    QPainter painter(this);
    QStyleOptionTabWidgetFrame frame;
    frame.initFrom(this);
    frame.rect = QRect(0, pageOffsetY_ - kEdge, width(), height() - pageOffsetY_ + kEdge);
    frame.shape = QTabBar::RoundedNorth;
    frame.lineWidth = kEdge;
    frame.tabBarRect = tabRect(selectedTab());
    frame.selectedTabRect = frame.tabBarRect;
    style()->drawPrimitive(QStyle::PE_FrameTabWidget, &frame, &painter, this);
    // The pages stand on the same face as the tabs, as one surface.
    painter.fillRect(frame.rect.adjusted(kEdge, kEdge, -kEdge, -kEdge), palette().color(QPalette::Button));
}

void COptionTabCtrl::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    placeStrip();
}

#include "COptionTabCtrl.moc"
