#pragma once
// The "Config Load/Save" page (dialog 137): the target settings, the target
// file list and the two configuration buttons.
//
// The page's rules live in plain methods that tests call directly; the
// widgets only show state and forward the user's input to them. Texts kept
// by the page are code-page-949 bytes; they are converted only where they
// meet a widget. A row's file name keeps the bytes it came with (row data),
// so a name that is not valid code page 949 is written back unchanged.

#include <QWidget>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "config/ConfigText.h"
#include "core/Poster.h"
#include "config/TargetSettings.h"
#include "operations/ConfigOperations.h"
#include "operations/OperationReport.h"
#include "writer/KestoWire.h"

class CXListCtrl;
class SettingsFile;
class MessageBoxes;
class MessageLog;
class QComboBox;
class QGroupBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QSlider;

class CTab_ConfigSave : public QWidget {
    Q_OBJECT
public:
    static constexpr int IDD = 137;

    // The target list's columns.
    enum Column { ColEn = 0, ColTarget = 1, ColFat = 2, ColSectorNo = 3, ColFileName = 4 };

    explicit CTab_ConfigSave(QWidget* parent = nullptr);

    // Where the page writes log lines and shows message boxes. Until set, the
    // main window's are used (when there is one).
    void setServices(MessageLog& log, MessageBoxes& boxes);

    // --- rules of the settings and the target list
    // Applies the rules of the chip selected in "Select Chip :".
    void ApplyChipSelection();
    // Appends one row; fileName is the name's bytes as the writer sent them.
    void AddTargetRow(std::int32_t enabled, std::int32_t sectorNo, const std::string& fileName, std::int32_t target,
                      std::int32_t fatFlag);
    // Collects the rows into targetEntries and disabledEntries, orders them
    // (enabled InFlash, enabled NAND, each by sector; then disabled), refills
    // the list and recounts.
    void RebuildTargetList();
    // A check box of the list was clicked (row -1: a header box).
    void OnTargetListCheckBox(int row, int column);
    // A Target drop-down picked an entry.
    void OnTargetListComboSelection(int row, int column);
    // An edit of a cell ended: text is the new text, nullptr when cancelled.
    // Returns whether the cell takes the text; a wrong sector number is
    // refused with a message box.
    bool CheckSectorText(int row, int column, const QString* text);
    // True when no two enabled entries of one target share a sector number
    // (over the first inFlashCount + nandCount entries of targetEntries).
    bool CheckDuplicateSectors() const;
    // The checks a Config Save makes before it touches a writer, in order:
    // rows at all, enabled rows, RebuildTargetList and the duplicate check,
    // then whether the configuration text can hold the list and the values.
    // Returns the message box text, empty when the save may go on.
    std::string ConfigSaveProblem();
    // Shows inFlashCount and nandCount.
    void ShowCounts();

    // --- values for the configuration text
    // Copies what the configuration text is built from (UI thread).
    ConfigSource configSource() const;
    // Builds configText from the page; false (configText unchanged) when it
    // cannot hold the page's list or values.
    bool BuildConfigText();

    // Loading a speed sets the loaded and the current value; the slider shows
    // the nearest of 1..10.
    void LoadDownloadSpeed(std::int32_t speed);
    // Selects the row whose text equals `value` ignoring letter case; no row
    // when none does.
    static void ShowComboValue(QComboBox* combo, const std::string& value);

    // --- the two actions
    // Config Load: reopens the writers and reads writer 1's file names and
    // configuration into the page (on a worker; the page fills itself when
    // the result comes back). False when it did not start.
    bool OnConfigLoad();
    // Config Save: checks the page, reopens the writers, builds the
    // configuration text once and writes it into every checked writer. False
    // when it did not start.
    bool OnConfigSave();
    // The first chip, speed and buzzer from the settings file's section
    // "PreviousSetValue" (defaults 1, "ON", "SOLVAN"), then the chip's rules;
    // and whether a save reads the configuration back ("Options",
    // "VerifyAfterSave", default 1).
    void LoadPreviousSettings(const SettingsFile& file);

    // Fills the page from a Config Load's result (UI thread).
    void ApplyConfigLoad(const ConfigLoadResult& result);

    // --- configuration files
    // A configuration file holds exactly the bytes a Config Save of the page
    // would send (its lines, each ended by CR LF), so a command-line save can
    // send it to writers as it stands. Neither action runs while an operation
    // does.
    static constexpr qint64 kMaxConfigFileBytes = kesto::kMaxConfigTextBytes; // what a writer holds at most
    // Whether the file actions may run now.
    bool ConfigFileActionsAllowed() const;
    // After the checks of a Config Save (same boxes), writes the text a
    // Config Save would send into `path`; an existing file stays as it was
    // when the write fails. False when nothing was written.
    bool SaveConfigFile(const QString& path);
    // Reads `path` with the parser of Config Load and fills the page as a
    // Config Load does: one row per entry of the file, in its order. A file
    // that cannot be read, is too large or does not parse changes nothing.
    bool OpenConfigFile(const QString& path);
    // The target list's context menu with "Open configuration file…" and
    // "Save configuration file…"; both disabled while an operation runs.
    std::unique_ptr<QMenu> TargetListMenu();

    // --- controls during an operation
    // Disables what an operation gives back when it ends.
    void DisableOperationControls();
    // Gives back what a finished operation returns; with the crystal rule,
    // "HERON" and "Other" keep the crystal field disabled.
    void GiveControlsBack(const ControlsBack& controls);

    // --- controls
    QPushButton* configLoadButton() const { return configLoad_; }
    QPushButton* configSaveButton() const { return configSave_; }
    CXListCtrl* targetList() const { return list_; }
    QSlider* speedSlider() const { return speedSlider_; }
    QLineEdit* speedEdit() const { return speedEdit_; }
    QComboBox* buzzerCombo() const { return buzzer_; }
    QComboBox* chipCombo() const { return chip_; }
    QLineEdit* crystalEdit() const { return crystal_; }
    QComboBox* fatVerifyCombo() const { return fatVerify_; }
    QComboBox* eraseCombo() const { return erase_; }
    QLabel* crystalLabel() const { return crystalLabel_; }
    QLabel* crystalUnitLabel() const { return crystalUnit_; }
    QLabel* fatVerifyLabel() const { return fatVerifyLabel_; }
    QLabel* eraseLabel() const { return eraseLabel_; }
    QLabel* inFlashCountLabel() const { return inFlashCountLabel_; }
    QLabel* nandCountLabel() const { return nandCountLabel_; }

    // --- state (loaded values; the controls hold the current ones)
    TargetSettings settings;
    bool verifyAfterSave = true; // a save reads each writer's configuration back
    const std::vector<std::string> targetChoices{"InFlash", "NAND"};
    std::vector<TargetFileEntry> targetEntries;
    std::vector<TargetFileEntry> disabledEntries;
    std::int32_t inFlashCount = 0;
    std::int32_t nandCount = 0;
    std::int32_t fatRowChecked = 0;
    ConfigText configText;

    std::atomic<int> configLoadRunning{0};
    std::atomic<int> configSaveRunning{0};

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    struct RowState {
        bool enabled;
        std::int32_t target;
        bool fat;
        std::int32_t sectorNo;
        QString sectorText;
        std::string fileName;
    };

    void buildControls();
    void OnSpeedSliderMoved(int position);
    void OnSpeedSliderReleased();
    void showCurrentSpeed();

    RowState readRow(int row) const;
    std::string rowFileName(int row) const;
    int appendRow(const std::string& fileName, const QString& sectorText);
    void paintRow(int row, bool enabled);
    void setTargetCell(int row, bool enabled, int choice);
    void blankTargetCell(int row);
    bool rowIsInFlash(int row) const;
    void OnFatHeaderToggled(int formerFatRow);
    void showBox(const std::string& text);
    // A failure of a file action: the error line in the log and the box.
    void reportFileProblem(const std::string& logLine, const std::string& boxText);
    void OnTargetListContextMenu(const QPoint& position);
    void OnOpenConfigFileChosen();
    void OnSaveConfigFileChosen();
    MessageLog* log() const;
    // Closes all entries and opens all writers; false (after the log line and
    // the box) when none can be used.
    bool reopenWriters();

    // Workers hand their results to the page through it; the window stops
    // its workers before its pages go.
    std::unique_ptr<Poster> poster_;
    MessageLog* log_ = nullptr;
    MessageBoxes* boxes_ = nullptr;
    QString configFileFolder_; // where the file dialogs open next

    CXListCtrl* list_ = nullptr;
    QSlider* speedSlider_ = nullptr;
    QLineEdit* speedEdit_ = nullptr;
    QComboBox* buzzer_ = nullptr;
    QPushButton* configLoad_ = nullptr;
    QPushButton* configSave_ = nullptr;
    QLabel* crystalUnit_ = nullptr;
    QComboBox* chip_ = nullptr;
    QLabel* chipLabel_ = nullptr;
    QLabel* eraseLabel_ = nullptr;
    QLabel* crystalLabel_ = nullptr;
    QLineEdit* crystal_ = nullptr;
    QLabel* fatVerifyLabel_ = nullptr;
    QComboBox* fatVerify_ = nullptr;
    QComboBox* erase_ = nullptr;
    QLabel* inFlashCountLabel_ = nullptr;
    QLabel* nandCountLabel_ = nullptr;
};
