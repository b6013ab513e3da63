#pragma once
// The "Config Load/Save" page. For now it holds only its "Config Load" button
// and the busy flags of its two operations; the settings and the target list
// come with the configuration operations.

#include <QWidget>

#include <atomic>

class QPushButton;

class CTab_ConfigSave : public QWidget {
    Q_OBJECT
public:
    explicit CTab_ConfigSave(QWidget* parent = nullptr);

    QPushButton* configLoadButton() const { return configLoad_; }

    std::atomic<int> configLoadRunning{0};
    std::atomic<int> configSaveRunning{0};

private:
    QPushButton* configLoad_;
};
