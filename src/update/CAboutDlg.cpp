#include "update/CAboutDlg.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QLabel>
#include <QProgressDialog>
#include <QPushButton>
#include <QSettings>

#include <cstdio>

#include "app/AppIcon.h"
#include "core/CodePage.h"
#include "app/DialogUnits.h"
#include "app/WindowPlacement.h"
#include "update/UpdateBoxes.h"
#include "update/UpdateDescription.h"

namespace {

// "VREN_KESTO_CONFIGURATOR" followed by the Korean word for "information".
constexpr const char* kTitle = "VREN_KESTO_CONFIGURATOR \xC1\xA4\xBA\xB8";
// The Korean word for "OK".
constexpr const char* kOkText = "\xC8\xAE\xC0\xCE";
constexpr const char* kProductVersion = "1,24,9176,46";
constexpr int kBuildNumber = 9176;
constexpr const char* kBuildDate = "2019-06-26";

QLabel* staticText(QWidget* parent, const QString& text, const QRect& geometry)
{
    auto* label = new QLabel(text, parent);
    label->setGeometry(geometry);
    label->setTextFormat(Qt::PlainText);
    return label;
}

} // namespace

std::string CAboutDlg::productVersionLine()
{
    char text[64];
    std::snprintf(text, sizeof text, "Product Version : %s", kProductVersion);
    return text;
}

std::string CAboutDlg::buildLine()
{
    char text[64];
    std::snprintf(text, sizeof text, "BuildNo : %d, match to %s", kBuildNumber, kBuildDate);
    return text;
}

CAboutDlg::CAboutDlg(QWidget* parent, UpgradeCheckEnvironment environment, std::function<void()> closeMainWindow)
    : QDialog(parent), env_(std::move(environment)), closeMainWindow_(std::move(closeMainWindow))
{
    if (env_.programFolder.isEmpty())
        env_.programFolder = QCoreApplication::applicationDirPath();
    if (env_.settingsFilePath.isEmpty())
        env_.settingsFilePath = env_.programFolder + u'/' + QLatin1String(kSettingsFileName);
    if (!env_.boxes) {
        ownBoxes_ = std::make_unique<QtUpdateBoxes>(this, fromCodePage(kTitle));
        env_.boxes = ownBoxes_.get();
    }
    if (!env_.writeProfile) {
        env_.writeProfile = [](const char* key, int value) {
            QSettings profile(QString::fromLatin1(kProfileOrganisation), QString::fromLatin1(kProfileApplication));
            profile.beginGroup(QString::fromLatin1(kProfileGroup));
            profile.setValue(QString::fromLatin1(key), value);
        };
    }

    const QFont font = DialogUnits::dialogFont();
    setFont(font);
    const DialogUnits du(font);
    setWindowTitle(fromCodePage(kTitle));
    setFixedSize(du.x(171), du.y(99));

    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("icon"));
    icon->setPixmap(makeAppIcon().pixmap(32, 32));
    icon->setGeometry(du.x(14), du.y(11), 32, 32);

    staticText(this, QStringLiteral("VREN KESTO CONFIGURATOR"), du.rect(42, 11, 114, 8));
    staticText(this, QStringLiteral("Copyright (C) 2019 Velmont"), du.rect(42, 23, 114, 8))
        ->setObjectName(QStringLiteral("noticeLine"));
    staticText(this, fromCodePage(productVersionLine()), du.rect(13, 41, 143, 9))
        ->setObjectName(QStringLiteral("productVersionLine")); // 1000
    staticText(this, fromCodePage(buildLine()), du.rect(13, 53, 143, 9))
        ->setObjectName(QStringLiteral("buildLine")); // 1001
    staticText(this, QStringLiteral("Contact : Velmont support"), du.rect(11, 87, 100, 8))
        ->setObjectName(QStringLiteral("contactLine"));

    auto* check = new QPushButton(QStringLiteral("Program Upgrade Check"), this); // 1034
    check->setObjectName(QStringLiteral("upgradeCheckButton"));
    check->setGeometry(du.rect(11, 72, 85, 12));
    check->setAutoDefault(false);
    connect(check, &QPushButton::clicked, this, [this] { OnUpgradeCheck(); });

    auto* ok = new QPushButton(fromCodePage(kOkText), this); // 1, the default button
    ok->setObjectName(QStringLiteral("okButton"));
    ok->setGeometry(du.rect(116, 82, 50, 14));
    ok->setDefault(true);
    ok->setFocus();
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

CAboutDlg::~CAboutDlg() = default;

UpgradeOutcome CAboutDlg::OnUpgradeCheck()
{
    ProgramUpgradeCheck check(env_);

    // The fetch runs in this thread's event loop; the window stays alive and
    // the user can give up waiting.
    UpdateFetcher fetcher;
    QProgressDialog progress(QStringLiteral("Looking for a newer program..."), QStringLiteral("Cancel"), 0, 0, this);
    progress.setObjectName(QStringLiteral("upgradeCheckProgress"));
    progress.setWindowTitle(QString::fromLatin1(kUpgradeCheckCaption));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(300);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    connect(&progress, &QProgressDialog::canceled, &fetcher, &UpdateFetcher::cancel);

    QEventLoop wait;
    connect(&fetcher, &UpdateFetcher::finished, &wait, &QEventLoop::quit);
    fetcher.start(check.remoteUrl(), check.timeoutMs(), kMaxDescriptionBytes);
    progress.setValue(0);
    if (!fetcher.isFinished())
        wait.exec();
    progress.hide();

    const UpgradeOutcome outcome = check.decide(fetcher.result());
    if (outcome == UpgradeOutcome::HandedOver) {
        reject();
        if (closeMainWindow_)
            closeMainWindow_();
    }
    return outcome;
}
