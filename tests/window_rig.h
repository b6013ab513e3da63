#pragma once
// The main window on emulated writers (or on whatever back end a test gives
// it), with a private profile and recorded message boxes: the set-up every
// window test shares.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QSettings>
#include <QStringList>
#include <QTemporaryDir>

#include <chrono>
#include <functional>
#include <memory>

#include "EmulatedNotifier.h"
#include "EmulatedTransport.h"
#include "app/ContactList.h"
#include "app/MainWindow.h"
#include "app/MessageLogPane.h"
#include "recording.h"
#include "test_support.h"

class WindowRig : public testing::Test {
protected:
    WindowRig()
        : profile(dir.filePath(QStringLiteral("profile.ini")), QSettings::IniFormat)
    {
    }
    ~WindowRig() override { window.reset(); }

    std::shared_ptr<EmulatedWriter> plug(ContactMode mode = ContactMode::Normal)
    {
        auto writer = std::make_shared<EmulatedWriter>();
        writer->setContactMode(mode);
        bus.plug(writer);
        return writer;
    }

    // Emulated writers on `bus` answering within `timeout`; no notifier.
    MainWindowEnvironment environment()
    {
        MainWindowEnvironment env;
        env.makeBackend = [this](BackendKind kind, TransportServices services) -> std::unique_ptr<TransportBackend> {
            chosenBackend = kind;
            return std::make_unique<EmulatedTransport>(std::move(services), bus, timeout);
        };
        return env;
    }
    // The same with the emulated bus's notifier, set up by `setUp` first.
    MainWindowEnvironment environmentWithNotifier(const std::function<void(EmulatedNotifier&)>& setUp = {})
    {
        MainWindowEnvironment env = environment();
        env.makeNotifier = [this, setUp]() -> std::unique_ptr<DeviceNotifier> {
            auto n = std::make_unique<EmulatedNotifier>(bus);
            notifier = n.get();
            if (setUp)
                setUp(*n);
            return n;
        };
        return env;
    }

    // Creates and starts the window; returns once the first relisting has
    // listed the writers. The profile and boxes are the rig's unless `env`
    // brings its own.
    CVREN_KESTO_CONFIGURATORDlg& start(MainWindowEnvironment env, bool show = true)
    {
        if (!env.profile)
            env.profile = &profile;
        if (!env.boxes)
            env.boxes = &boxes;
        // The program folder, where the settings file is looked for, is the
        // rig's own.
        if (env.executablePath.isEmpty())
            env.executablePath = dir.filePath(QStringLiteral("VREN_Kesto_Configurator"));
        if (env.logFolder.isEmpty())
            env.logFolder = dir.filePath(QStringLiteral("logs"));
        window = std::make_unique<CVREN_KESTO_CONFIGURATORDlg>(std::move(env));
        window->OnInitDialog();
        if (show)
            window->show();
        EXPECT_TRUE(waitIdle()) << "the first relisting did not end";
        return *window;
    }
    CVREN_KESTO_CONFIGURATORDlg& start() { return start(environment()); }

    // Writes the settings file the next start() reads.
    void writeSettingsFile(const QByteArray& contents)
    {
        QFile file(dir.filePath(QStringLiteral("Config-VREN_Kesto_Configurator.ini")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(contents);
    }

    // Waits until no relisting or operation runs and what they posted has
    // arrived.
    bool waitIdle(int timeoutMs = 5000)
    {
        const bool idle = testsupport::waitUntil([this] {
            return !window->relisting() && !window->session().runningOperation() && window->session().workingWriters() == 0;
        }, timeoutMs);
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        return idle;
    }
    // Relists and waits for the rows.
    void relist()
    {
        window->RelistWriters();
        EXPECT_TRUE(waitIdle());
    }

    ContactList& list() { return *window->contactList(); }
    QStringList column(int c)
    {
        QStringList texts;
        for (int row = 0; row < list().GetRowCount(); ++row)
            texts << list().GetCellText(row, c);
        return texts;
    }
    QStringList logLines() const
    {
        return window->messageLog()->toPlainText().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    QTemporaryDir dir;
    QSettings profile;
    RecordingBoxes boxes;
    EmulatedBus bus;
    std::chrono::milliseconds timeout{80};
    EmulatedNotifier* notifier = nullptr;
    BackendKind chosenBackend = BackendKind::LibUsb;
    std::unique_ptr<CVREN_KESTO_CONFIGURATORDlg> window;
};
