#pragma once
// The demo bench's panel: plug in a new emulated writer, unplug one, set a
// writer's contact mode or make it fall silent, give a writer its demo files
// again.

#include <QWidget>

#include <memory>
#include <vector>

#include "DemoBench.h"

class QBoxLayout;
class QCheckBox;
class QComboBox;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QTimer;

class DemoPanel : public QWidget {
    Q_OBJECT
public:
    explicit DemoPanel(DemoBench& bench, QWidget* parent = nullptr);
    ~DemoPanel() override;

    void plugNew();
    void unplugSelected();
    // The selected writer gets the demo files again (after an initialization).
    void giveFilesToSelected();
    // Selects the writer in bus position `row`.
    void select(int row);

private:
    void refresh();
    void showSelected();
    void applyMode(int index);
    void applySilent(bool silent);
    // The selected writer's stored files and its config.ini, as the writer
    // holds them now (a Config Save shows here).
    void showStoredFiles();
    void addFilesButton(QBoxLayout* layout);
    std::shared_ptr<EmulatedWriter> selected() const;

    DemoBench& bench_;
    int observer_ = 0;
    std::vector<std::shared_ptr<EmulatedWriter>> shown_;
    QListWidget* list_ = nullptr;
    QPushButton* plugButton_ = nullptr;
    QPushButton* unplugButton_ = nullptr;
    QPushButton* filesButton_ = nullptr;
    QComboBox* mode_ = nullptr;
    QCheckBox* silent_ = nullptr;
    QPlainTextEdit* stored_ = nullptr;
    QTimer* storedTimer_ = nullptr;
};
