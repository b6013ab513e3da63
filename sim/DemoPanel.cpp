#include "DemoPanel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "core/CodePage.h"

namespace {

const char* modeText(ContactMode mode)
{
    switch (mode) {
    case ContactMode::JtagDown:
        return "JTAG download";
    case ContactMode::IspDown:
        return "ISP download";
    case ContactMode::Normal:
        break;
    }
    return "normal";
}

} // namespace

DemoPanel::DemoPanel(DemoBench& bench, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , bench_(bench)
{
    setWindowTitle(QStringLiteral("Emulated writers"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Writers on the emulated USB bus:"), this));
    list_ = new QListWidget(this);
    layout->addWidget(list_);

    auto* buttons = new QHBoxLayout;
    plugButton_ = new QPushButton(QStringLiteral("Plug in new writer"), this);
    unplugButton_ = new QPushButton(QStringLiteral("Unplug"), this);
    buttons->addWidget(plugButton_);
    buttons->addWidget(unplugButton_);
    layout->addLayout(buttons);

    auto* form = new QFormLayout;
    mode_ = new QComboBox(this);
    for (ContactMode m : {ContactMode::Normal, ContactMode::JtagDown, ContactMode::IspDown})
        mode_->addItem(QString::fromLatin1(modeText(m)), int(m));
    form->addRow(QStringLiteral("Mode:"), mode_);
    silent_ = new QCheckBox(QStringLiteral("Silent (answers nothing)"), this);
    form->addRow(QStringLiteral("Fault:"), silent_);
    layout->addLayout(form);
    addFilesButton(layout);

    layout->addWidget(new QLabel(QStringLiteral("Stored on the selected writer:"), this));
    stored_ = new QPlainTextEdit(this);
    stored_->setReadOnly(true);
    stored_->setLineWrapMode(QPlainTextEdit::NoWrap);
    stored_->setFont(QFont(QStringLiteral("DejaVu Sans Mono"), 8));
    layout->addWidget(stored_, 1);
    // A writer changes its files by itself (a save, an initialization).
    storedTimer_ = new QTimer(this);
    storedTimer_->setInterval(500);
    connect(storedTimer_, &QTimer::timeout, this, &DemoPanel::showStoredFiles);
    storedTimer_->start();

    connect(plugButton_, &QPushButton::clicked, this, &DemoPanel::plugNew);
    connect(unplugButton_, &QPushButton::clicked, this, &DemoPanel::unplugSelected);
    connect(list_, &QListWidget::currentRowChanged, this, &DemoPanel::showSelected);
    connect(mode_, &QComboBox::activated, this, &DemoPanel::applyMode);
    connect(silent_, &QCheckBox::clicked, this, &DemoPanel::applySilent);

    // Writers also leave by themselves; the list follows the bus.
    observer_ = bench_.bus().addObserver([this](EmulatedBus::Change, const std::shared_ptr<EmulatedWriter>&) {
        QMetaObject::invokeMethod(this, [this] { refresh(); }, Qt::QueuedConnection);
    });
    refresh();
    resize(380, 620);
}

DemoPanel::~DemoPanel()
{
    bench_.bus().removeObserver(observer_);
}

std::shared_ptr<EmulatedWriter> DemoPanel::selected() const
{
    const int row = list_->currentRow();
    return row >= 0 && row < int(shown_.size()) ? shown_[std::size_t(row)] : nullptr;
}

void DemoPanel::refresh()
{
    const auto current = selected();
    shown_ = bench_.bus().writers();
    list_->clear();
    int currentRow = shown_.empty() ? -1 : 0;
    for (std::size_t i = 0; i < shown_.size(); ++i) {
        const auto& w = shown_[i];
        QString text = QStringLiteral("%1. %2 - %3").arg(i + 1).arg(QString::fromStdString(w->identification()),
                                                             QString::fromLatin1(modeText(w->contactMode())));
        if (w->faults().noAnswer)
            text += QStringLiteral(", silent");
        list_->addItem(text);
        if (w == current)
            currentRow = int(i);
    }
    list_->setCurrentRow(currentRow);
    showSelected();
}

void DemoPanel::showSelected()
{
    const auto w = selected();
    unplugButton_->setEnabled(w != nullptr);
    mode_->setEnabled(w != nullptr);
    silent_->setEnabled(w != nullptr);
    filesButton_->setEnabled(w != nullptr);
    if (w) {
        mode_->setCurrentIndex(mode_->findData(int(w->contactMode())));
        silent_->setChecked(w->faults().noAnswer);
    }
    showStoredFiles();
}

void DemoPanel::showStoredFiles()
{
    const auto w = selected();
    QString text;
    if (w) {
        for (const std::string& name : w->fileNames()) {
            const auto content = w->file(name);
            text += QStringLiteral("%1  (%2 bytes)\n").arg(fromCodePage(name)).arg(content ? qsizetype(content->size()) : 0);
        }
        if (text.isEmpty())
            text = QStringLiteral("(no files)\n");
        if (const auto config = w->file(EmulatedWriter::kConfigFileName)) {
            text += QStringLiteral("\n--- config.ini ---\n");
            text += fromCodePage(*config).remove(QLatin1Char('\r'));
        }
    }
    if (stored_->toPlainText() != text)
        stored_->setPlainText(text);
}

void DemoPanel::select(int row)
{
    list_->setCurrentRow(row);
}

void DemoPanel::plugNew()
{
    bench_.plugNewWriter(ContactMode::Normal);
}

void DemoPanel::unplugSelected()
{
    if (const auto w = selected())
        bench_.bus().unplug(w);
}

void DemoPanel::addFilesButton(QBoxLayout* layout)
{
    filesButton_ = new QPushButton(QStringLiteral("Give back the demo files"), this);
    filesButton_->setToolTip(QStringLiteral("An initialization leaves a writer without files"));
    layout->addWidget(filesButton_);
    connect(filesButton_, &QPushButton::clicked, this, &DemoPanel::giveFilesToSelected);
}

void DemoPanel::giveFilesToSelected()
{
    if (const auto w = selected())
        DemoBench::giveDemoFiles(*w);
}

// Mode and faults show at the next contact check (a relisting or an operation).
void DemoPanel::applyMode(int index)
{
    if (const auto w = selected()) {
        w->setContactMode(ContactMode(mode_->itemData(index).toInt()));
        refresh();
    }
}

void DemoPanel::applySilent(bool silent)
{
    if (const auto w = selected()) {
        WriterFaults faults = w->faults();
        faults.noAnswer = silent;
        w->setFaults(faults);
        refresh();
    }
}
