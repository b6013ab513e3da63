// The configurator on emulated writers behind umockdev, with nothing of its
// own replaced: the back end the platform rule picks, the real libraries, the
// udev notifier, and in the end the installed program itself.

#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "app/ContactList.h"
#include "app/MainWindow.h"
#include "app/MessageLogPane.h"
#include "pages/CTab_ConfigSave.h"
#include "widgets/CXListCtrl.h"
#include "DemoFiles.h"
#include "line_packets.h"
#include "recording.h"
#include "test_support.h"
#include "umockdev_writers.h"

namespace {

// The contact check asks for the firmware version; true once it got it.
bool askedForItsVersion(const EmulatedWriter& writer)
{
    const auto requests = writer.requests();
    const auto replies = writer.replies();
    return !requests.empty() && requests.front() == std::vector<std::uint8_t>{CMD_FIRMWARE_VERSION}
        && !replies.empty() && replies.front().size() > 4;
}

class MainWindowOnUsbTest : public testing::Test {
protected:
    MainWindowOnUsbTest()
        : testbed_(umockdev_testbed_new())
    {
    }

    ~MainWindowOnUsbTest() override
    {
        window_.reset(); // closes its writers and its library context
        ports_.clear();
        g_object_unref(testbed_);
    }

    void SetUp() override { ASSERT_TRUE(umockdev_in_mock_environment()) << "run under umockdev-wrapper"; }

    // Two writers on two busses.
    void plugTwoWriters()
    {
        for (int bus : {1, 2}) {
            auto writer = std::make_shared<EmulatedWriter>("VREN Kesto Writer on bus " + std::to_string(bus));
            writers_.push_back(writer);
            ports_.push_back(std::make_unique<UmockdevWriterPort>(
                testbed_, UsbPortSetup{bus, UmockdevWriterPort::freshAddress(), 0x2F1A, 0x0018, false}, writer));
        }
    }

    void open(MainWindowEnvironment env)
    {
        env.profile = &profile_;
        env.boxes = &boxes_;
        window_ = std::make_unique<CVREN_KESTO_CONFIGURATORDlg>(std::move(env));
        window_->OnInitDialog();
        testsupport::waitUntil([this] { return !window_->relisting(); }, 10000);
        QCoreApplication::processEvents();
    }

    std::string logText() const { return window_->messageLog()->toPlainText().toStdString(); }

    UMockdevTestbed* testbed_;
    std::vector<std::shared_ptr<EmulatedWriter>> writers_;
    std::vector<std::unique_ptr<UmockdevWriterPort>> ports_;
    QTemporaryDir dir_;
    QSettings profile_{dir_.filePath(QStringLiteral("profile.ini")), QSettings::IniFormat};
    RecordingBoxes boxes_;
    std::unique_ptr<CVREN_KESTO_CONFIGURATORDlg> window_;
};

TEST_F(MainWindowOnUsbTest, BothWritersAreListedContactOkOnEitherBackEnd)
{
    struct Case {
        const char* name;
        bool oldPlatform; // a Windows 2000 record selects the libusb 0.1 back end
    };
    for (const Case& c : {Case{"this platform", false}, Case{"Windows 2000 record", true}}) {
        SCOPED_TRACE(c.name);
        window_.reset();
        ports_.clear();
        writers_.clear();
        plugTwoWriters();
        MainWindowEnvironment env;
        if (c.oldPlatform) {
            env.osVersion.family = OsVersionRecord::Family::WinNT;
            env.osVersion.major = 5;
            env.osVersion.minor = 0;
        }
        open(std::move(env));

        ContactList& list = *window_->contactList();
        ASSERT_EQ(list.GetRowCount(), 2) << logText();
        EXPECT_EQ(list.StatusText(0), "VREN Kesto Contact-OK!");
        EXPECT_EQ(list.StatusText(1), "VREN Kesto Contact-OK!");
        EXPECT_TRUE(boxes_.shown().empty());
        for (const auto& writer : writers_)
            EXPECT_TRUE(askedForItsVersion(*writer));
        // The listing closes the writers again.
        for (const auto& port : ports_)
            EXPECT_EQ(port->interfacesClaimed(), 0);
    }
}

// Plug and unplug with nothing stood in for: the udev notifier hears the
// testbed's uevents and the real back end finds (or misses) the writers.
TEST_F(MainWindowOnUsbTest, WritersPluggedInAndOutAreRelisted)
{
    plugTwoWriters();
    open({});
    ContactList& list = *window_->contactList();
    ASSERT_EQ(list.GetRowCount(), 2) << logText();

    auto third = std::make_shared<EmulatedWriter>("VREN Kesto Writer plugged in later");
    writers_.push_back(third);
    ports_.push_back(std::make_unique<UmockdevWriterPort>(
        testbed_, UsbPortSetup{2, UmockdevWriterPort::freshAddress(), 0x2F1A, 0x0018, false}, third));
    ASSERT_TRUE(testsupport::waitUntil([&] { return list.GetRowCount() == 3; }, 5000)) << logText();
    EXPECT_TRUE(askedForItsVersion(*third));
    for (int row = 0; row < 3; ++row)
        EXPECT_EQ(list.StatusText(row), "VREN Kesto Contact-OK!") << row;

    // The first writer goes: it is noticed by its bus and address.
    ports_[0]->unplug();
    ASSERT_TRUE(testsupport::waitUntil([&] { return window_->session().listedCount == 2; }, 5000)) << logText();
    testsupport::waitUntil([] { return false; }, 100);
    EXPECT_EQ(list.GetRowCount(), 2);
    EXPECT_NE(logText().find("USB Device No.1 is removed."), std::string::npos) << logText();
    EXPECT_TRUE(boxes_.shown().empty());
}

// Config Load from the first writer and Config Save to both, through the real
// libusb-1.0 back end: the bytes the emulated writers store are the text the
// first one held, sent as line packets over the testbed's URBs.
TEST_F(MainWindowOnUsbTest, ConfigLoadFromOneWriterAndSaveToTwo)
{
    plugTwoWriters();
    const std::string stored = "InFlash count : 1\r\n"
                               "NAND count : 1\r\n"
                               "-------------------------\r\n"
                               "file name / target / start sector / faten\r\n"
                               "boot.bin / I / 8 / 0\r\n"
                               "app.bin / N / 100 / 1\r\n"
                               "//\xC7\xD1\xB1\xDB.bin / I / 0 / 0\r\n"
                               "-------------------------\r\n"
                               "speed (max=10) : 5\r\n"
                               "buzzer : on\r\n"
                               "-------------------------\r\n"
                               "Target Chip : SOLVAN\r\n"
                               "Target Board Crystal Val : 11289600\r\n"
                               "FAT Start Blk : 100\r\n"
                               "Verify : Enable\r\n"
                               "Erase : Disable\r\n"
                               "\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n";
    writers_[0]->clearFiles();
    for (const char* name : {"boot.bin", "app.bin", "\xC7\xD1\xB1\xDB.bin"})
        writers_[0]->setFile(name, "x");
    writers_[0]->setFile("config.ini", stored);
    writers_[1]->clearFiles();
    open({});
    ASSERT_EQ(window_->contactList()->GetRowCount(), 2) << logText();
    CTab_ConfigSave& page = *window_->configPage();

    ASSERT_TRUE(page.OnConfigLoad());
    ASSERT_TRUE(testsupport::waitUntil([&] { return !window_->operationRunning(); }, 20000)) << logText();
    QCoreApplication::processEvents();
    ASSERT_EQ(page.targetList()->GetRowCount(), 3) << logText();
    EXPECT_EQ(window_->contactList()->StatusText(0), "Config Load - OK!");

    ASSERT_TRUE(page.OnConfigSave());
    ASSERT_TRUE(testsupport::waitUntil([&] { return !window_->operationRunning(); }, 20000)) << logText();
    QCoreApplication::processEvents();
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(window_->contactList()->StatusText(i), "Config Save - OK!") << i;
        EXPECT_EQ(writers_[std::size_t(i)]->file("config.ini"), stored) << i;
        EXPECT_EQ(ports_[std::size_t(i)]->interfacesClaimed(), 0) << "closed again";
    }
    // Each line went out as one packet: 0C, length + 2, the line, CR LF.
    const auto requests = writers_[1]->requests();
    const std::vector<std::uint8_t> firstLine{0x0C, 19, 'I', 'n', 'F', 'l', 'a', 's', 'h', ' ', 'c', 'o', 'u', 'n',
                                              't', ' ', ':', ' ', '1', 0x0D, 0x0A};
    EXPECT_NE(std::find(requests.begin(), requests.end(), firstLine), requests.end());
    EXPECT_TRUE(boxes_.shown().empty());
}

#ifdef KESTO_CONFIGURATOR_EXE
// The program as a user starts it, in a process of its own that reaches the
// emulated writers through the testbed. It cannot be asked what it lists, but
// what it asked the writers (and what it says on standard output) shows that
// both were opened and checked through the real back end.
TEST_F(MainWindowOnUsbTest, TheProgramChecksBothWriters)
{
    plugTwoWriters();
    QTemporaryDir home;
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment(); // with the testbed's
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    program.setProcessEnvironment(env);
    program.start(QStringLiteral(KESTO_CONFIGURATOR_EXE), {});
    ASSERT_TRUE(program.waitForStarted(10000));

    // Checked, and closed again after the listing.
    const bool bothChecked = testsupport::waitUntil(
        [&] {
            return askedForItsVersion(*writers_[0]) && askedForItsVersion(*writers_[1])
                && ports_[0]->interfacesClaimed() == 0 && ports_[1]->interfacesClaimed() == 0;
        },
        30000);
    program.kill();
    program.waitForFinished(10000);
    const std::string out = program.readAllStandardOutput().toStdString();
    ASSERT_TRUE(bothChecked) << out << program.readAllStandardError().toStdString();
    for (const auto& port : ports_) {
        // The path names the bus and the port, which the testbed numbers like the address.
        const std::string path = "usb:" + std::to_string(port->bus()) + "-" + std::to_string(port->address());
        EXPECT_NE(out.find("Attempting to open " + path + "\n"), std::string::npos) << out;
    }
    EXPECT_EQ(out.find("FAILED to open"), std::string::npos) << out;
}
#endif

#ifdef KESTO_CLI_EXE
// The command-line tool on the real back end: the lines of the file go to
// both writers as line packets, and each stores exactly the file.
TEST_F(MainWindowOnUsbTest, TheCommandLineToolSavesAFileIntoBothWriters)
{
    plugTwoWriters();
    const std::string config = demoConfiguration();
    QFile file(dir_.filePath(QStringLiteral("line.ini")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(config.data(), qint64(config.size()));
    file.close();

    QTemporaryDir home;
    QProcess tool;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment(); // with the testbed's
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
    tool.setProcessEnvironment(env);
    tool.start(QStringLiteral(KESTO_CLI_EXE), {QStringLiteral("save"), file.fileName(), QStringLiteral("--json")});
    ASSERT_TRUE(tool.waitForStarted(10000));
    // The event loop keeps running: the testbed answers on its own thread.
    ASSERT_TRUE(testsupport::waitUntil([&] { return tool.state() == QProcess::NotRunning; }, 120000));
    const std::string out = tool.readAllStandardOutput().toStdString();
    const std::string err = tool.readAllStandardError().toStdString();
    EXPECT_EQ(tool.exitCode(), 0) << out << err;
    // Results only on standard output; what the back end opens is on standard error.
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 2) << out;
    EXPECT_NE(out.find("\"status\":\"Config Save - OK!\""), std::string::npos) << out;
    EXPECT_NE(err.find("Attempting to open usb:"), std::string::npos) << err;

    for (const auto& writer : writers_) {
        EXPECT_EQ(writer->file(EmulatedWriter::kConfigFileName).value_or(""), config);
        const auto packets = linePacketsOf(config);
        const auto requests = writer->requests();
        const auto first = std::search(requests.begin(), requests.end(), packets.begin(), packets.end());
        EXPECT_NE(first, requests.end()) << writer->identification();
    }
}
#endif

} // namespace
