#include "pages/CTab_ConfigSave.h"

#include <QByteArray>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSaveFile>
#include <QSignalBlocker>
#include <QSlider>

#include <algorithm>
#include <functional>

#include "core/CodePage.h"
#include "app/DialogUnits.h"
#include "app/ContactList.h"
#include "app/MainWindow.h"
#include "app/MessageLogPane.h"
#include "core/MessageBoxes.h"
#include "config/ChipTable.h"
#include "config/ConfigBuilder.h"
#include "config/ConfigParser.h"
#include "config/SettingsFile.h"
#include "config/TargetList.h"
#include "widgets/CXListCtrl.h"

namespace {

const QColor kEnabledRowColor(255, 255, 255);
const QColor kDisabledRowColor(200, 200, 200);
const QColor kDisabledRowTextColor(0, 0, 0);
const QColor kHeaderTextColor(0, 128, 255);
const QColor kEmptyTextColor(0, 70, 220);

constexpr int kSectorColumnWidthAfterChip = 72;
constexpr int kMinSpeed = 1;
constexpr int kMaxSpeed = 10;

const char* const kChipModels[] = {"moLark", "moLarkL", "moVesa", "BOREAL2", "SOLVAN",
                                   "HERON",  "QX7",     "PLX4410", "PLX4420", "Other"};

QString q(std::string_view bytes)
{
    return fromCodePage(bytes);
}

const QString kConfigFileFilter = QStringLiteral("Configuration (*.ini);;All files (*)");

// Keeps what the parser logs, so that a refused file is reported under its
// own name rather than as a writer's.
class CollectedLines : public MessageLog {
public:
    std::vector<std::string> lines;

protected:
    void append(Rgb /*color*/, std::string text) override { lines.push_back(std::move(text)); }
};

// "\t +  Dev01: <configuration> is wrong file!\r\n" -> "<configuration> is wrong file!"
std::string withoutDevicePrefix(std::string line)
{
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.pop_back();
    if (const std::size_t dev = line.find("Dev"); dev != std::string::npos) {
        if (const std::size_t colon = line.find(": ", dev); colon != std::string::npos)
            return line.substr(colon + 2);
    }
    return line;
}

std::string pathText(const QString& path)
{
    return toCodePage(QDir::toNativeSeparators(path));
}

// The platform's dialog font is wider for its average character than the one
// the layout was drawn with: a caption that would be cut gets a smaller size.
void fitFont(QWidget* widget, const std::function<int()>& neededWidth)
{
    constexpr qreal kSmallest = 6.5;
    QFont font = widget->font();
    while (neededWidth() > widget->width() && font.pointSizeF() > kSmallest) {
        font.setPointSizeF(font.pointSizeF() - 0.5);
        widget->setFont(font);
    }
}

QLabel* makeLabel(QWidget* parent, const DialogUnits& du, const QString& text, QRect units,
                  Qt::Alignment alignment = Qt::AlignLeft)
{
    auto* label = new QLabel(text, parent);
    label->setGeometry(du.rect(units.x(), units.y(), units.width(), units.height()));
    label->setAlignment(alignment | Qt::AlignVCenter);
    fitFont(label, [label] { return label->fontMetrics().horizontalAdvance(label->text()); });
    return label;
}

QComboBox* makeCombo(QWidget* parent, const DialogUnits& du, QStringList rows, QRect units)
{
    auto* combo = new QComboBox(parent);
    combo->addItems(rows);
    combo->setCurrentIndex(-1);
    combo->setGeometry(du.rect(units.x(), units.y(), units.width(), units.height()));
    // A drop-down list is at least as tall as its text needs.
    combo->resize(combo->width(), std::max(combo->height(), combo->minimumSizeHint().height()));
    fitFont(combo, [combo] { return combo->sizeHint().width(); });
    return combo;
}

QPushButton* makeButton(QWidget* parent, const DialogUnits& du, const QString& text, QRect units)
{
    auto* button = new QPushButton(text, parent);
    button->setAutoDefault(false);
    button->setGeometry(du.rect(units.x(), units.y(), units.width(), units.height()));
    return button;
}

} // namespace

CTab_ConfigSave::CTab_ConfigSave(QWidget* parent)
    : QWidget(parent)
    , poster_(std::make_unique<Poster>())
{
    buildControls();
}

void CTab_ConfigSave::buildControls()
{
    setFont(DialogUnits::dialogFont());
    const DialogUnits du(font());
    resize(du.x(241), du.y(280));

    // Created in the dialog's tab order.
    auto* fileGroup = new QGroupBox(QStringLiteral("File Count && File List"), this);
    fileGroup->setGeometry(du.rect(5, 3, 232, 126));
    makeLabel(this, du, QStringLiteral("InFlash File Count :"), {11, 16, 60, 8});
    inFlashCountLabel_ = makeLabel(this, du, QStringLiteral("0"), {75, 16, 13, 8}, Qt::AlignHCenter); // 1086

    list_ = new CXListCtrl(this); // 1087
    list_->setObjectName(QStringLiteral("targetList"));
    list_->setGeometry(du.rect(8, 27, 226, 99));
    list_->SetEmptyText(QStringLiteral("No files for target download"), kEmptyTextColor);
    list_->AddColumn(ColEn, QStringLiteral("En"), Qt::AlignLeft, 45, 1);
    // 50 pixels, or what this platform's font needs to show "InFlash" whole.
    list_->AddColumn(ColTarget, QStringLiteral("Target"), Qt::AlignLeft,
                     qMax(50, list_->ChoiceColumnWidth({QStringLiteral("InFlash"), QStringLiteral("NAND")})));
    list_->AddColumn(ColFat, QStringLiteral("Fat"), Qt::AlignLeft, 45, 1);
    list_->AddColumn(ColSectorNo, QStringLiteral("Sector No."), Qt::AlignLeft, 65);
    list_->AddColumn(ColFileName, QStringLiteral("File Name"), Qt::AlignLeft, 250);
    list_->SetHeaderTextColor(-1, kHeaderTextColor);
    list_->SetEndLabelEditHandler(
        [this](int row, int column, const QString* text) { return CheckSectorText(row, column, text); });
    connect(list_, &CXListCtrl::checkBoxClicked, this, &CTab_ConfigSave::OnTargetListCheckBox);
    connect(list_, &CXListCtrl::comboSelection, this, &CTab_ConfigSave::OnTargetListComboSelection);
    // A right click on the list offers the configuration file actions.
    list_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(list_, &QWidget::customContextMenuRequested, this, &CTab_ConfigSave::OnTargetListContextMenu);

    speedSlider_ = new QSlider(Qt::Horizontal, this); // 1088
    speedSlider_->setObjectName(QStringLiteral("speedSlider"));
    speedSlider_->setGeometry(du.rect(71, 232, 110, 12));
    speedSlider_->setRange(kMinSpeed, kMaxSpeed);
    speedSlider_->setSingleStep(1);
    speedSlider_->setPageStep(1);
    speedSlider_->setTickPosition(QSlider::TicksBelow);
    speedSlider_->setTickInterval(1);
    speedSlider_->setValue(kMinSpeed);
    connect(speedSlider_, &QSlider::valueChanged, this, &CTab_ConfigSave::OnSpeedSliderMoved);
    connect(speedSlider_, &QSlider::sliderReleased, this, &CTab_ConfigSave::OnSpeedSliderReleased);

    speedEdit_ = new QLineEdit(this); // 1035
    speedEdit_->setObjectName(QStringLiteral("speedEdit"));
    speedEdit_->setReadOnly(true);
    speedEdit_->setAlignment(Qt::AlignHCenter);
    speedEdit_->setGeometry(du.rect(182, 230, 42, 12));

    buzzer_ = makeCombo(this, du, {QStringLiteral("ON"), QStringLiteral("OFF")}, {52, 214, 60, 12}); // 1089
    buzzer_->setObjectName(QStringLiteral("buzzer"));

    configLoad_ = makeButton(this, du, QStringLiteral("Config Load"), {11, 255, 104, 19}); // 1094
    configLoad_->setObjectName(QStringLiteral("configLoad"));
    configSave_ = makeButton(this, du, QStringLiteral("Config Save"), {125, 255, 104, 19}); // 1095
    configSave_->setObjectName(QStringLiteral("configSave"));
    connect(configLoad_, &QPushButton::clicked, this, [this] { OnConfigLoad(); });
    connect(configSave_, &QPushButton::clicked, this, [this] { OnConfigSave(); });

    crystalUnit_ = makeLabel(this, du, QStringLiteral("Hz"), {106, 164, 21, 8}); // 1118

    QStringList chips;
    for (const char* name : kChipModels)
        chips << QString::fromLatin1(name);
    chip_ = makeCombo(this, du, chips, {57, 142, 59, 13}); // 1104
    chip_->setObjectName(QStringLiteral("chip"));
    chip_->setMaxVisibleItems(int(std::size(kChipModels)));
    connect(chip_, &QComboBox::activated, this, [this] { ApplyChipSelection(); });

    auto* targetGroup = new QGroupBox(QStringLiteral("Target  Set"), this);
    targetGroup->setGeometry(du.rect(7, 131, 227, 67));
    chipLabel_ = makeLabel(this, du, QStringLiteral("Select Chip :"), {13, 144, 40, 8});       // 1110
    eraseLabel_ = makeLabel(this, du, QStringLiteral("In Flash Erase All :"), {125, 164, 57, 8}); // 1113
    crystalLabel_ = makeLabel(this, du, QStringLiteral("Crystal freq :"), {13, 163, 40, 8});      // 1111

    auto* kestoGroup = new QGroupBox(QStringLiteral("VREN KESTO Set"), this);
    kestoGroup->setGeometry(du.rect(6, 203, 227, 47));
    makeLabel(this, du, QStringLiteral("Buzzer :"), {17, 216, 26, 8});
    makeLabel(this, du, QStringLiteral("Download Speed"), {15, 232, 54, 8});

    crystal_ = new QLineEdit(this); // 1107
    crystal_->setObjectName(QStringLiteral("crystal"));
    crystal_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    crystal_->setGeometry(du.rect(56, 163, 47, 11));
    // The value and its label share one 259-byte configuration line.
    crystal_->setMaxLength(int(kConfigLineMaxChars - configpos::Crystal.column));

    fatVerifyLabel_ = makeLabel(this, du, QStringLiteral("FAT Verify :"), {129, 145, 38, 8}); // 1115
    fatVerify_ = makeCombo(this, du, {QStringLiteral("Disable"), QStringLiteral("Enable")}, {171, 143, 54, 15}); // 1109
    fatVerify_->setObjectName(QStringLiteral("fatVerify"));

    makeLabel(this, du, QStringLiteral("NAND File Count :"), {108, 16, 57, 8});
    nandCountLabel_ = makeLabel(this, du, QStringLiteral("0"), {172, 16, 13, 8}, Qt::AlignHCenter); // 1090

    erase_ = makeCombo(this, du, {QStringLiteral("Disable"), QStringLiteral("Enable")}, {186, 162, 39, 15}); // 1117
    erase_->setObjectName(QStringLiteral("erase"));

    // Group boxes are drawn beneath the controls they frame.
    for (QGroupBox* group : {fileGroup, targetGroup, kestoGroup})
        group->lower();

    settings.currentDownloadSpeed = kMinSpeed;
    showCurrentSpeed();
}

void CTab_ConfigSave::setServices(MessageLog& log, MessageBoxes& boxes)
{
    log_ = &log;
    boxes_ = &boxes;
}

MessageLog* CTab_ConfigSave::log() const
{
    if (log_)
        return log_;
    return mainWindow() ? mainWindow()->messageLog() : nullptr;
}

void CTab_ConfigSave::showBox(const std::string& text)
{
    if (boxes_)
        boxes_->information(text);
    else if (mainWindow())
        mainWindow()->boxes().information(text);
}

void CTab_ConfigSave::keyPressEvent(QKeyEvent* event)
{
    // Enter never presses a button of the page.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

// ---------------------------------------------------------------- speed

void CTab_ConfigSave::OnSpeedSliderMoved(int position)
{
    settings.currentDownloadSpeed = position;
    showCurrentSpeed();
}

void CTab_ConfigSave::OnSpeedSliderReleased()
{
    settings.currentDownloadSpeed = speedSlider_->value();
    const QSignalBlocker blocker(speedSlider_);
    speedSlider_->setValue(settings.currentDownloadSpeed);
    showCurrentSpeed();
}

void CTab_ConfigSave::showCurrentSpeed()
{
    speedEdit_->setText(QString::number(settings.currentDownloadSpeed));
}

void CTab_ConfigSave::LoadDownloadSpeed(std::int32_t speed)
{
    settings.downloadSpeed = speed;
    settings.currentDownloadSpeed = speed;
    const QSignalBlocker blocker(speedSlider_);
    speedSlider_->setValue(std::clamp(speed, kMinSpeed, kMaxSpeed));
    showCurrentSpeed();
}

void CTab_ConfigSave::ShowComboValue(QComboBox* combo, const std::string& value)
{
    const QString text = q(value);
    for (int i = 0; i < combo->count(); ++i) {
        if (combo->itemText(i).compare(text, Qt::CaseInsensitive) == 0) {
            combo->setCurrentIndex(i);
            return;
        }
    }
    combo->setCurrentIndex(-1);
}

// ------------------------------------------------------------------ rows

std::string CTab_ConfigSave::rowFileName(int row) const
{
    const QVariant data = list_->GetRowData(row);
    if (data.typeId() == QMetaType::QByteArray) {
        const QByteArray bytes = data.toByteArray();
        return std::string(bytes.constData(), std::size_t(bytes.size()));
    }
    return toCodePage(list_->GetCellText(row, ColFileName));
}

CTab_ConfigSave::RowState CTab_ConfigSave::readRow(int row) const
{
    RowState state;
    state.enabled = list_->GetCellCheck(row, ColEn) == 2;
    state.target = rowIsInFlash(row) ? kTargetInFlash : kTargetNand;
    state.fat = list_->GetCellCheck(row, ColFat) == 2;
    state.sectorText = list_->GetCellText(row, ColSectorNo);
    state.sectorNo = readSectorNumber(toCodePage(state.sectorText));
    state.fileName = rowFileName(row);
    return state;
}

bool CTab_ConfigSave::rowIsInFlash(int row) const
{
    return list_->GetCellText(row, ColTarget) == QLatin1String("InFlash");
}

int CTab_ConfigSave::appendRow(const std::string& fileName, const QString& sectorText)
{
    const int row = list_->AddRow(list_->GetRowCount(), QString());
    list_->SetCellText(row, ColSectorNo, sectorText);
    list_->SetCellEditable(row, ColSectorNo, true);
    list_->SetCellText(row, ColFileName, q(fileName));
    list_->SetRowData(row, QByteArray(fileName.data(), qsizetype(fileName.size())));
    return row;
}

void CTab_ConfigSave::paintRow(int row, bool enabled)
{
    for (int column = 0; column < list_->GetColumnCount(); ++column) {
        QColor text;
        QColor background;
        list_->GetCellColors(row, column, text, background);
        list_->SetCellColors(row, column, text, enabled ? kEnabledRowColor : kDisabledRowColor);
    }
}

void CTab_ConfigSave::setTargetCell(int row, bool enabled, int choice)
{
    QStringList choices;
    for (const std::string& c : targetChoices)
        choices << q(c);
    list_->SetCellChoices(row, ColTarget, true, choices, int(choices.size()), choice);
    list_->SetCellEnabled(row, ColTarget, enabled);
}

void CTab_ConfigSave::blankTargetCell(int row)
{
    list_->SetCellText(row, ColTarget, QString());
}

void CTab_ConfigSave::ShowCounts()
{
    inFlashCountLabel_->setText(QString::number(inFlashCount));
    nandCountLabel_->setText(QString::number(nandCount));
}

void CTab_ConfigSave::AddTargetRow(std::int32_t enabled, std::int32_t sectorNo, const std::string& fileName,
                                   std::int32_t target, std::int32_t fatFlag)
{
    const int row = appendRow(fileName, QString::number(sectorNo));
    if (enabled) {
        list_->SetCellCheck(row, ColEn, 2);
        setTargetCell(row, true, target);
        list_->SetCellCheck(row, ColFat, fatFlag ? 2 : 1);
        if (fatFlag)
            fatRowChecked = 1;
    } else {
        list_->SetCellCheck(row, ColEn, 1);
        for (int column : {ColTarget, ColFat, ColSectorNo, ColFileName})
            list_->SetCellColors(row, column, QColor(), kDisabledRowColor);
    }
}

void CTab_ConfigSave::RebuildTargetList()
{
    targetEntries.clear();
    disabledEntries.clear();
    for (int row = 0; row < list_->GetRowCount(); ++row) {
        RowState r = readRow(row);
        if (!r.enabled)
            disabledEntries.push_back({0, std::move(r.fileName), r.sectorNo, kTargetInFlash, 0});
        else
            targetEntries.push_back({1, std::move(r.fileName), r.sectorNo, r.target, r.fat ? 1 : 0});
    }
    sortBySector(targetEntries);

    list_->setUpdatesEnabled(false);
    list_->RemoveAllRows();
    std::int32_t nand = 0;
    bool fatRow = false;
    for (const int target : {int(kTargetInFlash), int(kTargetNand)}) {
        for (const TargetFileEntry& e : targetEntries) {
            if ((e.target == kTargetInFlash) != (target == kTargetInFlash))
                continue;
            const int row = appendRow(e.fileName, QString::number(e.sectorNo));
            list_->SetCellCheck(row, ColEn, 2);
            setTargetCell(row, true, target);
            paintRow(row, true);
            if (target == kTargetNand) {
                list_->SetCellCheck(row, ColFat, e.fatFlag ? 2 : 1);
                fatRow = fatRow || e.fatFlag;
                ++nand;
            }
        }
    }
    for (const TargetFileEntry& e : disabledEntries) {
        const int row = appendRow(e.fileName, QString::number(e.sectorNo));
        list_->SetCellCheck(row, ColEn, 1);
        for (int column = 0; column < list_->GetColumnCount(); ++column)
            list_->SetCellColors(row, column, kDisabledRowTextColor, kDisabledRowColor);
    }
    list_->setUpdatesEnabled(true);

    nandCount = nand;
    inFlashCount = std::int32_t(targetEntries.size()) - nandCount;
    // Only a NAND row keeps its Fat box here; an InFlash row that had it
    // checked no longer blocks the FAT choice.
    fatRowChecked = fatRow ? 1 : 0;
    ShowCounts();
}

bool CTab_ConfigSave::CheckDuplicateSectors() const
{
    const std::size_t count = std::size_t(std::max(0, inFlashCount) + std::max(0, nandCount));
    return !hasDuplicateSectors(targetEntries, count);
}

// ------------------------------------------------------------ row rules

void CTab_ConfigSave::OnTargetListCheckBox(int row, int column)
{
    if (row < 0) {
        if (column == ColEn) {
            bool anyUnchecked = false;
            for (int r = 0; r < list_->GetRowCount(); ++r)
                anyUnchecked = anyUnchecked || list_->GetCellCheck(r, ColEn) != 2;
            for (int r = 0; r < list_->GetRowCount(); ++r) {
                paintRow(r, anyUnchecked);
                setTargetCell(r, anyUnchecked, kTargetInFlash);
                if (!anyUnchecked)
                    blankTargetCell(r);
                list_->SetCellCheck(r, ColFat, 0);
            }
            fatRowChecked = 0;
            nandCount = 0;
            inFlashCount = anyUnchecked ? list_->GetRowCount() : 0;
        } else if (column == ColFat) {
            // The header is about to set every Fat box alike; one FAT row is
            // restored once it has.
            int formerFatRow = -1;
            for (int r = 0; r < list_->GetRowCount() && formerFatRow < 0; ++r)
                if (list_->GetCellCheck(r, ColEn) == 2 && list_->GetCellCheck(r, ColFat) == 2)
                    formerFatRow = r;
            QMetaObject::invokeMethod(
                this, [this, formerFatRow] { OnFatHeaderToggled(formerFatRow); }, Qt::QueuedConnection);
        }
        ShowCounts();
        return;
    }
    if (row >= list_->GetRowCount())
        return;

    if (column == ColEn) {
        if (list_->GetCellCheck(row, ColEn) != 2) {
            paintRow(row, false);
            if (rowIsInFlash(row))
                inFlashCount = std::max(0, inFlashCount - 1);
            else
                nandCount = std::max(0, nandCount - 1);
            const bool wasFatRow = list_->GetCellCheck(row, ColFat) == 2;
            setTargetCell(row, false, kTargetInFlash);
            blankTargetCell(row);
            list_->SetCellCheck(row, ColFat, 0);
            if (wasFatRow)
                fatRowChecked = 0;
        } else {
            paintRow(row, true);
            setTargetCell(row, true, kTargetInFlash);
            ++inFlashCount;
        }
    } else if (column == ColFat) {
        const bool enabled = list_->GetCellCheck(row, ColEn) == 2;
        const bool checked = list_->GetCellCheck(row, ColFat) == 2;
        if (!enabled) {
            list_->SetCellCheck(row, ColFat, 1);
        } else if (checked) {
            bool otherFatRow = false;
            for (int r = 0; r < list_->GetRowCount(); ++r)
                otherFatRow = otherFatRow || (r != row && list_->GetCellCheck(r, ColFat) == 2);
            // Only a NAND row can carry the FAT, and only one row at a time.
            if (fatRowChecked == 0 && !otherFatRow && !rowIsInFlash(row)) {
                fatRowChecked = 1;
                list_->SetCellText(row, ColSectorNo, QStringLiteral("8"));
            } else {
                list_->SetCellCheck(row, ColFat, 1);
            }
        } else {
            fatRowChecked = 0;
            list_->SetCellText(row, ColSectorNo, QStringLiteral("0"));
        }
    }
    ShowCounts();
}

void CTab_ConfigSave::OnFatHeaderToggled(int formerFatRow)
{
    const int rows = list_->GetRowCount();
    auto isNandFatRow = [this](int r) {
        return list_->GetCellCheck(r, ColEn) == 2 && !rowIsInFlash(r) && list_->GetCellCheck(r, ColFat) == 2;
    };
    if (formerFatRow >= rows)
        formerFatRow = -1;
    int keep = formerFatRow >= 0 && isNandFatRow(formerFatRow) ? formerFatRow : -1;
    for (int r = 0; r < rows && keep < 0; ++r)
        if (isNandFatRow(r))
            keep = r;
    for (int r = 0; r < rows; ++r)
        if (r != keep && list_->GetCellCheck(r, ColFat) == 2)
            list_->SetCellCheck(r, ColFat, 1);
    if (keep != formerFatRow) {
        if (formerFatRow >= 0 && list_->GetCellCheck(formerFatRow, ColEn) == 2)
            list_->SetCellText(formerFatRow, ColSectorNo, QStringLiteral("0"));
        if (keep >= 0)
            list_->SetCellText(keep, ColSectorNo, QStringLiteral("8"));
    }
    fatRowChecked = keep >= 0 ? 1 : 0;
    ShowCounts();
}

void CTab_ConfigSave::OnTargetListComboSelection(int row, int column)
{
    if (column != ColTarget || row < 0)
        return;
    inFlashCount = 0;
    nandCount = 0;
    bool fatRow = false;
    for (int r = 0; r < list_->GetRowCount(); ++r) {
        const bool enabled = list_->GetCellCheck(r, ColEn) == 2;
        const bool fat = list_->GetCellCheck(r, ColFat) == 2;
        if (enabled && !rowIsInFlash(r)) {
            list_->SetCellCheck(r, ColFat, fat ? 2 : 1);
            fatRow = fatRow || fat;
            ++nandCount;
        } else if (enabled) {
            list_->SetCellCheck(r, ColFat, 0);
            ++inFlashCount;
        } else {
            blankTargetCell(r);
            list_->SetCellCheck(r, ColFat, 0);
        }
    }
    fatRowChecked = fatRow ? 1 : 0;
    ShowCounts();
}

bool CTab_ConfigSave::CheckSectorText(int /*row*/, int column, const QString* text)
{
    if (!text || column != ColSectorNo)
        return true;
    if (parseSectorText(toCodePage(*text)))
        return true;
    showBox("Wrong Number!!!\r\nEnter Correct Sector Number!");
    return false;
}

// ------------------------------------------------------------------ chip

void CTab_ConfigSave::ApplyChipSelection()
{
    const std::string chip = chip_->currentIndex() >= 0 ? toCodePage(chip_->currentText()) : std::string();

    // The rows again, in their order, with the Sector No. column laid out anew.
    std::vector<RowState> rows;
    for (int row = 0; row < list_->GetRowCount(); ++row)
        rows.push_back(readRow(row));
    list_->setUpdatesEnabled(false);
    list_->RemoveAllRows();
    for (const RowState& r : rows) {
        const int row = appendRow(r.fileName, QString::number(r.sectorNo));
        if (r.enabled) {
            list_->SetCellCheck(row, ColEn, 2);
            setTargetCell(row, true, r.target);
            list_->SetCellCheck(row, ColFat, r.fat ? 2 : 1);
            paintRow(row, true);
        } else {
            list_->SetCellCheck(row, ColEn, 1);
            setTargetCell(row, false, kTargetInFlash);
            paintRow(row, false);
        }
    }
    list_->setColumnWidth(ColSectorNo, kSectorColumnWidthAfterChip);
    list_->setUpdatesEnabled(true);

    // Every chip selection resets the erase choice.
    erase_->setEnabled(true);
    erase_->show();
    eraseLabel_->setEnabled(true);
    eraseLabel_->show();
    erase_->setCurrentIndex(0);

    const ChipRule& rule = chipRule(chip);
    if (!rule.crystal.empty())
        crystal_->setText(q(rule.crystal));
    if (rule.verify == ChipVerify::Enable)
        fatVerify_->setCurrentIndex(1);
    else if (rule.verify == ChipVerify::Disable)
        fatVerify_->setCurrentIndex(0);
    if (!rule.eraseEditable)
        erase_->setEnabled(false);

    crystal_->setEnabled(rule.crystalEditable);
    if (!rule.verifyEnabledKept)
        fatVerify_->setEnabled(true);

    crystalLabel_->setText(rule.sectorSizeCaptions ? QStringLiteral("Sector size :") : QStringLiteral("Crystal freq :"));
    crystalUnit_->setText(rule.sectorSizeCaptions ? QStringLiteral("byte") : QStringLiteral("Hz"));
    fatVerifyLabel_->setVisible(!rule.sectorSizeCaptions);
    fatVerify_->setVisible(!rule.sectorSizeCaptions);

    settings.selectChip = chip;
}

// ------------------------------------------------------------ operations

void CTab_ConfigSave::DisableOperationControls()
{
    // "FAT Verify :" and "In Flash Erase All :" stay as they are.
    for (QWidget* w : std::initializer_list<QWidget*>{list_, speedSlider_, buzzer_, crystal_, chip_, configLoad_,
                                                       configSave_})
        w->setEnabled(false);
}

void CTab_ConfigSave::GiveControlsBack(const ControlsBack& controls)
{
    if (controls.configControls) {
        for (QWidget* w : std::initializer_list<QWidget*>{list_, speedSlider_, buzzer_, crystal_, chip_, configLoad_,
                                                           configSave_})
            w->setEnabled(true);
    }
    if (controls.fatVerify)
        fatVerify_->setEnabled(true);
    if (controls.crystalRule) {
        const QString chip = chip_->currentText();
        if (chip == QStringLiteral("HERON") || chip == QStringLiteral("Other"))
            crystal_->setEnabled(false);
    }
}

// ------------------------------------------------------------ actions

bool CTab_ConfigSave::reopenWriters()
{
    CVREN_KESTO_CONFIGURATORDlg* window = mainWindow();
    if (!window)
        return false;
    const char* problem = nullptr;
    if (window->session().reopenWriters() == 0)
        problem = "Cannot Open SOLVAN USB Device!";
    else if (window->session().listedCount == 0)
        problem = "No Contact SOLVAN USB Device!";
    if (!problem)
        return true;
    if (MessageLog* l = log())
        l->LogColored(kLogErrorColor, "%s\r\n", problem);
    showBox(problem);
    return false;
}

bool CTab_ConfigSave::OnConfigLoad()
{
    CVREN_KESTO_CONFIGURATORDlg* window = mainWindow();
    if (!window || window->operationRunning() || !reopenWriters())
        return false;

    list_->RemoveAllRows();
    inFlashCount = nandCount = 0;
    fatRowChecked = 0;
    if (MessageLog* l = log())
        l->LogText(">> VREN Kesto Config Load - START <<\r\n");
    // The parse keeps the page's values where the text says nothing.
    ConfigLoadJob job{configText, settings};
    // The result comes back to this page's thread before the worker's finish.
    auto deliver = [this](ConfigLoadResult result) {
        poster_->post([this, result = std::move(result)] { ApplyConfigLoad(result); });
    };
    return window->runOperation(Operation::ConfigLoad, {0}, ConfigLoadMiddle(std::move(job), std::move(deliver)));
}

bool CTab_ConfigSave::OnConfigSave()
{
    CVREN_KESTO_CONFIGURATORDlg* window = mainWindow();
    if (!window || window->operationRunning())
        return false;
    if (const std::string problem = ConfigSaveProblem(); !problem.empty()) {
        showBox(problem);
        return false;
    }
    if (!reopenWriters())
        return false;

    std::vector<int> devices;
    for (int i = 0; i < window->session().listedCount && i < window->contactList()->GetRowCount(); ++i) {
        if (window->contactList()->IsRowChecked(i))
            devices.push_back(i);
    }
    if (devices.empty()) {
        // Nothing would ever end a save that started no writer.
        for (int i = 0; i < kMaxDevices; ++i)
            window->session().transport().CloseDevice(i);
        static constexpr const char* kNoneChecked =
            "No writer is checked in the Contact List: nothing was saved.";
        if (MessageLog* l = log())
            l->LogColored(kLogErrorColor, "%s\r\n", kNoneChecked);
        showBox(kNoneChecked);
        return false;
    }

    // One text for every writer, built here and never changed while they send it.
    if (!BuildConfigText()) {
        showBox(ConfigTextProblem(configSource()));
        return false;
    }
    auto job = std::make_shared<ConfigSaveJob>();
    job->lines = configText.linesToSend(list_->GetRowCount());
    job->verifyAfterSave = verifyAfterSave;

    if (MessageLog* l = log())
        l->LogText(">> VREN Kesto Config Save - START <<\r\n");
    // The record of each writer's result names the exact text it was sent.
    const QString note = QStringLiteral("sha256=") + QString::fromStdString(sentTextSha256(job->lines));
    return window->runOperation(Operation::ConfigSave, devices, ConfigSaveMiddle(std::move(job)), note);
}

void CTab_ConfigSave::LoadPreviousSettings(const SettingsFile& file)
{
    static constexpr std::string_view kSection = "PreviousSetValue";
    LoadDownloadSpeed(file.readInt(kSection, "DownloadSpeed", 1));
    settings.buzzer = file.readText(kSection, "Buzzer", "ON");
    ShowComboValue(buzzer_, settings.buzzer);
    settings.selectChip = file.readText(kSection, "SelectChip", "SOLVAN");
    ShowComboValue(chip_, settings.selectChip);
    ApplyChipSelection();
    verifyAfterSave = file.readInt("Options", "VerifyAfterSave", 1) != 0;
}

void CTab_ConfigSave::ApplyConfigLoad(const ConfigLoadResult& result)
{
    const auto selectExactly = [](QComboBox* combo, const std::string& value) {
        combo->setCurrentIndex(combo->findText(q(value), Qt::MatchExactly | Qt::MatchCaseSensitive));
    };

    list_->setUpdatesEnabled(false);
    for (const std::string& name : result.names) {
        if (name == "config.ini")
            continue;
        if (!result.loaded) {
            AddTargetRow(0, 0, name, 0, 0);
            continue;
        }
        const auto entry = std::find_if(result.targetEntries.begin(), result.targetEntries.end(),
                                        [&](const TargetFileEntry& e) { return e.fileName == name; });
        if (entry != result.targetEntries.end())
            AddTargetRow(entry->enabled, entry->sectorNo, name, entry->target, entry->fatFlag);
        else
            AddTargetRow(0, 0, name, 0, 0);
    }
    list_->setUpdatesEnabled(true);

    if (result.loaded) {
        settings = result.settings;
        configText = result.configText;
        RebuildTargetList();
        LoadDownloadSpeed(settings.downloadSpeed);
        selectExactly(buzzer_, settings.buzzer);
        erase_->show();
        eraseLabel_->show();
        erase_->setCurrentIndex(settings.eraseEnable == "Enable" ? 1 : 0);
        crystal_->setText(q(settings.crystalFrequency));
        fatVerify_->setCurrentIndex(settings.fatVerify == "Enable" ? 1 : 0);
        selectExactly(chip_, settings.selectChip);
    } else {
        {
            const QSignalBlocker blocker(speedSlider_);
            speedSlider_->setValue(1);
        }
        settings.currentDownloadSpeed = 1;
        showCurrentSpeed();
        buzzer_->setCurrentIndex(0);
        chip_->setCurrentIndex(0);
        erase_->setCurrentIndex(-1);
        fatVerify_->setCurrentIndex(1);
        inFlashCount = nandCount = 0;
        ShowCounts();
    }

    // The sector-size captions belong to the chip the page holds.
    const bool sectorSize = settings.selectChip == "QX7";
    crystalLabel_->setText(sectorSize ? QStringLiteral("Sector size :") : QStringLiteral("Crystal freq :"));
    crystalUnit_->setText(sectorSize ? QStringLiteral("byte") : QStringLiteral("Hz"));
    fatVerifyLabel_->setVisible(!sectorSize);
    fatVerify_->setVisible(!sectorSize);
}

// ------------------------------------------------------------ save check

ConfigSource CTab_ConfigSave::configSource() const
{
    ConfigSource source;
    source.inFlashCount = inFlashCount;
    source.nandCount = nandCount;
    source.targetEntries = targetEntries;
    source.disabledEntries = disabledEntries;
    source.downloadSpeed = settings.currentDownloadSpeed;
    source.buzzer = toCodePage(buzzer_->currentText());
    source.chip = toCodePage(chip_->currentText());
    source.crystal = toCodePage(crystal_->text());
    source.fatVerify = toCodePage(fatVerify_->currentText());
    source.erase = toCodePage(erase_->currentText());
    return source;
}

bool CTab_ConfigSave::BuildConfigText()
{
    return ::BuildConfigText(configText, configSource());
}

std::string CTab_ConfigSave::ConfigSaveProblem()
{
    if (list_->GetRowCount() == 0)
        return "File for configuration setting does not exist!";
    if (inFlashCount == 0 && nandCount == 0)
        return "Enabled File does not exist!";
    RebuildTargetList();
    if (!CheckDuplicateSectors())
        return "Same Sector No. exist!";
    return ConfigTextProblem(configSource());
}

// ------------------------------------------------------------ configuration files

bool CTab_ConfigSave::ConfigFileActionsAllowed() const
{
    if (configLoadRunning || configSaveRunning)
        return false;
    const CVREN_KESTO_CONFIGURATORDlg* window = mainWindow();
    return !window || !window->operationRunning();
}

void CTab_ConfigSave::reportFileProblem(const std::string& logLine, const std::string& boxText)
{
    if (MessageLog* l = log())
        l->LogColored(kLogErrorColor, "%s\r\n", logLine.c_str());
    showBox(boxText);
}

bool CTab_ConfigSave::SaveConfigFile(const QString& path)
{
    if (!ConfigFileActionsAllowed())
        return false;
    if (const std::string problem = ConfigSaveProblem(); !problem.empty()) {
        showBox(problem);
        return false;
    }
    if (!BuildConfigText()) {
        showBox(ConfigTextProblem(configSource()));
        return false;
    }
    const int rows = list_->GetRowCount();
    const std::string text = configText.sentText(rows);
    const std::string where = pathText(path);

    // The text goes to a temporary file that replaces the old one only once
    // it is complete: a failed write leaves an existing file as it was.
    QSaveFile file(path);
    const bool written = file.open(QIODevice::WriteOnly)
        && file.write(text.data(), qint64(text.size())) == qint64(text.size()) && file.commit();
    if (!written) {
        const std::string reason = toCodePage(file.errorString());
        reportFileProblem("Cannot write the configuration file " + where + ": " + reason,
                          "Cannot write the configuration file!\r\n" + where + "\r\n" + reason);
        return false;
    }
    // The same SHA-256 as the result record of a Config Save of this text.
    if (MessageLog* l = log())
        l->LogText("Configuration file saved: %s (%zu bytes, sha256=%s)\r\n", where.c_str(), text.size(),
                   sentTextSha256(configText.linesToSend(rows)).c_str());
    return true;
}

bool CTab_ConfigSave::OpenConfigFile(const QString& path)
{
    if (!ConfigFileActionsAllowed())
        return false;
    const std::string where = pathText(path);

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        const std::string reason = toCodePage(file.errorString());
        reportFileProblem("Cannot read the configuration file " + where + ": " + reason,
                          "Cannot read the configuration file!\r\n" + where + "\r\n" + reason);
        return false;
    }
    // One byte beyond the limit tells a file that is too large, whatever
    // size the file system reports for it.
    const QByteArray bytes = file.read(kMaxConfigFileBytes + 1);
    if (file.error() != QFileDevice::NoError) {
        const std::string reason = toCodePage(file.errorString());
        reportFileProblem("Cannot read the configuration file " + where + ": " + reason,
                          "Cannot read the configuration file!\r\n" + where + "\r\n" + reason);
        return false;
    }
    if (bytes.size() > kMaxConfigFileBytes) {
        reportFileProblem(where + " is not a configuration file: it is larger than 64 KiB, more than a writer holds",
                          where + " is not a configuration file!\r\nIt is larger than 64 KiB, more than a writer holds.");
        return false;
    }

    // As a Config Load does: the parse starts from the page's values and
    // keeps them where the text says nothing. The page changes only once
    // the text has been taken.
    ConfigLoadResult result;
    result.configText = configText;
    result.settings = settings;
    CollectedLines parserLines;
    if (ParseConfigText(bytes.constData(), bytes.size(), 0, parserLines, result.configText, result.settings,
                        result.targetEntries) != OS_SUCCESS) {
        std::string why = parserLines.lines.empty() ? std::string("<configuration> is wrong file!")
                                                    : withoutDevicePrefix(parserLines.lines.front());
        reportFileProblem(where + " is not a configuration file: " + why,
                          where + " is not a configuration file!\r\n" + why);
        return false;
    }
    // The file's entries are the rows, in the file's order.
    for (const TargetFileEntry& e : result.targetEntries)
        result.names.push_back(e.fileName);
    result.loaded = true;
    result.text.assign(bytes.constData(), std::size_t(bytes.size()));

    list_->RemoveAllRows();
    inFlashCount = nandCount = 0;
    fatRowChecked = 0;
    ApplyConfigLoad(result);
    // The controls end as after a Config Load, with the crystal rule of the loaded chip.
    ControlsBack back;
    back.configControls = back.fatVerify = back.crystalRule = true;
    GiveControlsBack(back);
    if (MessageLog* l = log())
        l->LogText("Configuration file opened: %s (%d rows)\r\n", where.c_str(), list_->GetRowCount());
    return true;
}

std::unique_ptr<QMenu> CTab_ConfigSave::TargetListMenu()
{
    auto menu = std::make_unique<QMenu>(this);
    const bool allowed = ConfigFileActionsAllowed();
    QAction* open = menu->addAction(QStringLiteral("Open configuration file\u2026"), this,
                                    &CTab_ConfigSave::OnOpenConfigFileChosen);
    QAction* save = menu->addAction(QStringLiteral("Save configuration file\u2026"), this,
                                    &CTab_ConfigSave::OnSaveConfigFileChosen);
    open->setEnabled(allowed);
    save->setEnabled(allowed);
    return menu;
}

void CTab_ConfigSave::OnTargetListContextMenu(const QPoint& position)
{
    const std::unique_ptr<QMenu> menu = TargetListMenu();
    menu->exec(list_->viewport()->mapToGlobal(position));
}

void CTab_ConfigSave::OnOpenConfigFileChosen()
{
    const QString folder = configFileFolder_.isEmpty() ? QDir::homePath() : configFileFolder_;
    const QString path =
        QFileDialog::getOpenFileName(this, QStringLiteral("Open configuration file"), folder, kConfigFileFilter);
    if (path.isEmpty())
        return;
    configFileFolder_ = QFileInfo(path).absolutePath();
    OpenConfigFile(path);
}

void CTab_ConfigSave::OnSaveConfigFileChosen()
{
    const QString folder = configFileFolder_.isEmpty() ? QDir::homePath() : configFileFolder_;
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Save configuration file"),
                                                      QDir(folder).filePath(QStringLiteral("config.ini")),
                                                      kConfigFileFilter);
    if (path.isEmpty())
        return;
    configFileFolder_ = QFileInfo(path).absolutePath();
    SaveConfigFile(path);
}
