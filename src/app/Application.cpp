#include "app/Application.h"

#include <QApplication>

#include "app/SingleInstance.h"

int CVREN_KESTO_CONFIGURATORApp::InitInstance(MainWindowEnvironment environment, QString instanceKey)
{
    QCoreApplication::setOrganizationName(QStringLiteral("VREN_Kesto of Velmont"));
    SingleInstance instance(instanceKey.isEmpty() ? CVREN_KESTO_CONFIGURATORDlg::caption() : instanceKey);
    if (!instance.acquire())
        return 0;

    CVREN_KESTO_CONFIGURATORDlg dialog(std::move(environment));
    QObject::connect(&instance, &SingleInstance::attentionRequested, &dialog, [&dialog] {
        QApplication::alert(&dialog);
    });
    dialog.OnInitDialog();
    return dialog.exec() == QDialog::Accepted ? 0 : 0;
}
