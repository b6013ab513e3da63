#pragma once
// The "Kesto Initial" page (dialog 134): one button that initializes (formats)
// the file system of every listed writer at once, after a question.

#include <QWidget>

#include <atomic>

#include "core/Clock.h"
#include "operations/OperationReport.h"

class QKeyEvent;
class QPushButton;

class CTab_KestoFormat : public QWidget {
    Q_OBJECT
public:
    static constexpr int IDD = 134;

    // The question's caption and text (code-page bytes).
    static constexpr const char* kConfirmCaption = "VREN Kesto Initialization";
    static constexpr const char* kConfirmText =
        "VREN Kesto's FileSystem will be initialized!\r\nWill you execute VREN Kesto Initialization?";

    explicit CTab_KestoFormat(QWidget* parent = nullptr);

    // The clock the writers' waits are measured by; it must outlive every run
    // started with it. The machine's steady clock unless a test sets its own.
    void setClock(const Clock& clock) { clock_ = &clock; }

    // Button 1085: on Yes, reopens the writers and starts one Initialization
    // worker for every writer the last relisting listed, whatever their check
    // boxes show. Does nothing while the window is busy with the writers.
    void OnInitialRun();

    // --- controls during an operation
    void DisableOperationControls();
    void GiveControlsBack(const ControlsBack& controls);

    QPushButton* runButton() const { return run_; }

    // 1 from the start of the workers until the last of them has finished.
    std::atomic<int> initRunning{0};

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QPushButton* run_ = nullptr; // 1085
    const Clock* clock_ = &Clock::steady();
};
