#pragma once
// The "Kesto Initial" page. For now it holds only the busy flag of the
// initialization; its controls come with the initialization operation.

#include <QWidget>

#include <atomic>

#include "operations/OperationReport.h"

class CTab_KestoFormat : public QWidget {
    Q_OBJECT
public:
    explicit CTab_KestoFormat(QWidget* parent = nullptr);

    void DisableOperationControls() {}
    void GiveControlsBack(const ControlsBack&) {}

    std::atomic<int> initRunning{0};
};
