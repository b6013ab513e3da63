// Start-up of the configurator. Until the main window exists the program shows
// a plain window holding the message log.
#include "app/MessageLogPane.h"

#include <QApplication>
#include <QGroupBox>
#include <QMainWindow>
#include <QVBoxLayout>
#include <QtGlobal>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);

    QMainWindow window;
    window.setWindowTitle(QStringLiteral("VREN_Kesto_Configurator"));
    auto* group = new QGroupBox(QStringLiteral("Message Out"));
    auto* log = new MessageLogPane(group);
    auto* layout = new QVBoxLayout(group);
    layout->addWidget(log);
    window.setCentralWidget(group);
    window.resize(720, 360);
    window.show();

    log->LogText("VREN Kesto Configurator %s\r\n", KESTO_VERSION_TEXT);
    log->LogText("Qt %s\r\n", qVersion());

    return app.exec();
}
