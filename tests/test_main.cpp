// Shared main() of every test program: GoogleTest on a headless QApplication.
#include <QApplication>
#include <QStandardPaths>
#include <QByteArray>
#include <QLoggingCategory>
#include <QTemporaryDir>

#include <cstdlib>
#include <cstring>
#include <memory>

#include <gtest/gtest.h>

namespace {

QtMessageHandler previousHandler = nullptr;

void filterQtMessages(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    // The offscreen platform says this once per window; it means nothing here.
    if (message.contains(QLatin1String("This plugin does not support propagateSizeHints()")))
        return;
    if (previousHandler)
        previousHandler(type, context, message);
}

} // namespace

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);

    // CTest lists the tests by running us without the test environment: answer
    // before a QApplication needs a display.
    if (testing::GTEST_FLAG(list_tests))
        return RUN_ALL_TESTS();

    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir runtimeDir;
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR") && runtimeDir.isValid())
        qputenv("XDG_RUNTIME_DIR", runtimeDir.path().toLocal8Bit());
    previousHandler = qInstallMessageHandler(filterQtMessages);

    QApplication app(argc, argv);
    // Log files and other user data of windows made by tests stay out of the
    // user's own folders.
    QStandardPaths::setTestModeEnabled(true);
    return RUN_ALL_TESTS();
}
