#pragma once
// The demo bench's panel: plug in a new emulated writer, unplug one, set a
// writer's contact mode or make it fall silent.

#include <QWidget>

#include <memory>
#include <vector>

#include "DemoBench.h"

class QCheckBox;
class QComboBox;
class QListWidget;
class QPushButton;

class DemoPanel : public QWidget {
    Q_OBJECT
public:
    explicit DemoPanel(DemoBench& bench, QWidget* parent = nullptr);
    ~DemoPanel() override;

    void plugNew();
    void unplugSelected();
    // Selects the writer in bus position `row`.
    void select(int row);

private:
    void refresh();
    void showSelected();
    void applyMode(int index);
    void applySilent(bool silent);
    std::shared_ptr<EmulatedWriter> selected() const;

    DemoBench& bench_;
    int observer_ = 0;
    std::vector<std::shared_ptr<EmulatedWriter>> shown_;
    QListWidget* list_ = nullptr;
    QPushButton* plugButton_ = nullptr;
    QPushButton* unplugButton_ = nullptr;
    QComboBox* mode_ = nullptr;
    QCheckBox* silent_ = nullptr;
};
