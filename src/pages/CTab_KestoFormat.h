#pragma once
// The "Kesto Initial" page. For now it holds only the busy flag of the
// initialization; its controls come with the initialization operation.

#include <QWidget>

#include <atomic>

class CTab_KestoFormat : public QWidget {
    Q_OBJECT
public:
    explicit CTab_KestoFormat(QWidget* parent = nullptr);

    std::atomic<int> initRunning{0};
};
