#pragma once
// A grid list in a shown, active window, driven by real mouse and key events,
// with every notification recorded in order.

#include "widgets/CXCombo.h"
#include "widgets/CXEdit.h"
#include "widgets/CXHeaderCtrl.h"
#include "widgets/CXListCtrl.h"

#include <QTest>
#include <QVBoxLayout>
#include <QWidget>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace listtest {

class ListFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        window = std::make_unique<QWidget>();
        auto* layout = new QVBoxLayout(window.get());
        list = new CXListCtrl;
        layout->addWidget(list);
        window->resize(480, 260);
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));

        QObject::connect(list, &CXListCtrl::checkBoxClicked, list,
                         [this](int row, int column) { record("checkBoxClicked", row, column); });
        QObject::connect(list, &CXListCtrl::comboSelection, list,
                         [this](int row, int column) { record("comboSelection", row, column); });
        QObject::connect(list, &CXListCtrl::editEnd, list,
                         [this](int row, int column) { record("editEnd", row, column); });
    }

    void TearDown() override
    {
        list->CloseInPlaceControls();
        window.reset();
    }

    void record(const char* what, int row, int column)
    {
        events.push_back(std::string(what) + "(" + std::to_string(row) + "," + std::to_string(column) + ")");
    }

    QPoint cellCenter(int row, int column) const
    {
        return list->visualRect(list->model()->index(row, column)).center();
    }

    void clickAt(const QPoint& viewportPos) const
    {
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, viewportPos);
    }

    void clickCheckBox(int row, int column) const { clickAt(list->CheckBoxRect(row, column).center()); }
    void clickCell(int row, int column) const { clickAt(cellCenter(row, column)); }

    void clickHeaderBox(int column) const
    {
        CXHeaderCtrl* header = list->GetHeaderCtrl();
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, header->CheckBoxRect(column).center());
    }

    std::vector<int> checks(int column) const
    {
        std::vector<int> states;
        for (int row = 0; row < list->GetRowCount(); ++row)
            states.push_back(list->GetCellCheck(row, column));
        return states;
    }

    std::unique_ptr<QWidget> window;
    CXListCtrl* list = nullptr;
    std::vector<std::string> events;
};

} // namespace listtest
