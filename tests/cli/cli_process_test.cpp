// vren-kesto as a script runs it: a process of its own on emulated writers,
// judged by its exit status, what it prints and what the writers received.

#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <string>
#include <vector>

#include "DemoFiles.h"
#include "config/ConfigBuilder.h"
#include "line_packets.h"
#include "writer/KestoWire.h"

namespace {

struct ToolRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

std::string hexOf(const std::vector<std::uint8_t>& bytes)
{
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())).toHex().toStdString();
}

// A configuration none of the emulated writers holds yet.
std::string newConfiguration()
{
    ConfigSource s;
    s.inFlashCount = 1;
    s.nandCount = 1;
    s.targetEntries = {{1, "loader.bin", 8, kTargetInFlash, 0}, {1, "image.bin", 200, kTargetNand, 0}};
    s.downloadSpeed = 7;
    s.buzzer = "OFF";
    s.chip = "SOLVAN";
    s.crystal = "12000000";
    s.fatVerify = "Disable";
    s.erase = "Enable";
    ConfigText text;
    EXPECT_TRUE(BuildConfigText(text, s));
    return text.sentText(2);
}

class CliProcessTest : public testing::Test {
protected:
    // Runs the tool on the writers described (see emulated_vren_kesto.cpp).
    ToolRun run(const QStringList& args, const QString& writers, const QStringList& extraEnv = {})
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("KESTO_EMULATED_WRITERS"), writers);
        env.insert(QStringLiteral("KESTO_EMULATED_DUMP"), dir_.filePath(QStringLiteral("dump")));
        env.insert(QStringLiteral("KESTO_EMULATED_LOG_DIR"), dir_.filePath(QStringLiteral("logs")));
        env.insert(QStringLiteral("KESTO_EMULATED_PROGRAM_DIR"), dir_.path());
        env.insert(QStringLiteral("HOME"), dir_.path());
        for (const QString& e : extraEnv)
            env.insert(e.section(QLatin1Char('='), 0, 0), e.section(QLatin1Char('='), 1));
        p.setProcessEnvironment(env);
        QDir(dir_.filePath(QStringLiteral("dump"))).removeRecursively();
        p.start(QStringLiteral(KESTO_CLI_EMULATED_EXE), args);
        EXPECT_TRUE(p.waitForStarted(10000));
        p.closeWriteChannel(); // standard input: no terminal, at its end
        EXPECT_TRUE(p.waitForFinished(120000));
        ToolRun r;
        r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        r.out = p.readAllStandardOutput().toStdString();
        r.err = p.readAllStandardError().toStdString();
        return r;
    }

    QString path(const QString& name) const { return dir_.filePath(name); }

    QString writeFile(const QString& name, const std::string& bytes)
    {
        QFile f(path(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes.data(), qint64(bytes.size()));
        return f.fileName();
    }

    std::string readFile(const QString& file) const
    {
        QFile f(file);
        if (!f.open(QIODevice::ReadOnly))
            return "(none)";
        return f.readAll().toStdString();
    }

    // What writer n (from 1) held or received when the tool ended.
    std::string storedConfig(int n) const { return readFile(path(QStringLiteral("dump/writer%1.config.ini").arg(n))); }
    std::string storedNames(int n) const { return readFile(path(QStringLiteral("dump/writer%1.files").arg(n))); }
    std::vector<std::string> requests(int n) const
    {
        std::vector<std::string> lines;
        for (const QByteArray& l : QByteArray::fromStdString(readFile(path(QStringLiteral("dump/writer%1.requests").arg(n)))).split('\n')) {
            if (!l.isEmpty())
                lines.push_back(l.toStdString());
        }
        return lines;
    }
    bool received(int n, std::uint8_t command) const
    {
        const std::string hex = hexOf({command});
        for (const std::string& r : requests(n)) {
            if (r == hex)
                return true;
        }
        return false;
    }

    static std::vector<QJsonObject> jsonLines(const std::string& out)
    {
        std::vector<QJsonObject> objects;
        for (const QByteArray& line : QByteArray::fromStdString(out).split('\n')) {
            if (line.isEmpty())
                continue;
            QJsonParseError error;
            const QJsonDocument doc = QJsonDocument::fromJson(line, &error);
            EXPECT_EQ(error.error, QJsonParseError::NoError) << line.toStdString();
            objects.push_back(doc.object());
        }
        return objects;
    }
    static std::string str(const QJsonObject& o, const char* key) { return o[QLatin1String(key)].toString().toStdString(); }

    std::string auditText() const
    {
        std::string all;
        for (const QFileInfo& f : QDir(path(QStringLiteral("logs"))).entryInfoList({QStringLiteral("*.log")}))
            all += readFile(f.filePath());
        return all;
    }

    QTemporaryDir dir_;
};

TEST_F(CliProcessTest, ListShowsEveryWriterWithContactIdentificationAndVersion)
{
    const ToolRun r = run({QStringLiteral("list"), QStringLiteral("--json")}, QStringLiteral("normal,jtag,silent"));
    EXPECT_EQ(r.exitCode, 1) << r.err; // the silent writer did not answer
    const auto writers = jsonLines(r.out);
    ASSERT_EQ(writers.size(), 3u) << r.out;
    struct Expected {
        const char* contact;
        bool ok;
        const char* identification;
        const char* firmware;
    };
    const Expected expected[] = {
        {"VREN Kesto Contact-OK!", true, "VREN Kesto Writer SN-1001", "VREN Kesto V2.10 2026-11-02"},
        {"Kesto Contact - JTAG", true, "VREN Kesto Writer SN-1002", "VREN Kesto JTAG Down V1.0"},
        {"Contact - Unknown!", false, "", ""},
    };
    for (int i = 0; i < 3; ++i) {
        const QJsonObject& w = writers[std::size_t(i)];
        EXPECT_EQ(w[QLatin1String("writer")].toInt(), i + 1);
        EXPECT_EQ(str(w, "contact"), expected[i].contact);
        EXPECT_EQ(w[QLatin1String("ok")].toBool(), expected[i].ok);
        EXPECT_EQ(str(w, "identification"), expected[i].identification);
        EXPECT_EQ(str(w, "firmware"), expected[i].firmware);
        EXPECT_EQ(str(w, "usb"), "usb:1-" + std::to_string(i + 1));
    }
    // A writer that did not answer its contact check is not asked again.
    EXPECT_FALSE(received(3, CMD_DEVICE_INFO));

    const ToolRun text = run({QStringLiteral("list")}, QStringLiteral("normal,normal"));
    EXPECT_EQ(text.exitCode, 0) << text.err;
    EXPECT_EQ(text.out,
              "1\tusb:1-1\tVREN Kesto Contact-OK!\tVREN Kesto Writer SN-1001\tVREN Kesto V2.10 2026-11-02\n"
              "2\tusb:1-2\tVREN Kesto Contact-OK!\tVREN Kesto Writer SN-1002\tVREN Kesto V2.10 2026-11-02\n");
    // The log lines of the window are on standard error.
    EXPECT_NE(text.err.find("VREN Kesto Device No.2 Contact - OK!"), std::string::npos) << text.err;
}

TEST_F(CliProcessTest, LoadGivesWriterOnesConfigurationBytesUnchanged)
{
    const ToolRun r = run({QStringLiteral("load")}, QStringLiteral("normal,normal"));
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, demoConfiguration());
    EXPECT_NE(r.err.find("Files stored on writer 1:\n  boot.bin\n  app.bin\n  fat.img\n  config.ini\n"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find(">> VREN Kesto Config Load - START <<"), std::string::npos);
    EXPECT_FALSE(received(2, CMD_FILE_NAME_LIST)); // writer 1 only

    const QString out = path(QStringLiteral("loaded.ini"));
    const ToolRun j = run({QStringLiteral("load"), QStringLiteral("-o"), out, QStringLiteral("--json")},
                      QStringLiteral("normal"));
    EXPECT_EQ(j.exitCode, 0) << j.err;
    EXPECT_EQ(readFile(out), demoConfiguration());
    const auto results = jsonLines(j.out);
    ASSERT_EQ(results.size(), 1u) << j.out;
    EXPECT_EQ(str(results[0], "status"), "Config Load - OK!");
    EXPECT_TRUE(results[0][QLatin1String("configuration")].toBool());
    EXPECT_EQ(results[0][QLatin1String("files")].toArray().size(), 4);
    EXPECT_FALSE(results[0].contains(QLatin1String("text"))); // it went to the file

    // A writer without a configuration gives nothing, and says so.
    const ToolRun none = run({QStringLiteral("load")}, QStringLiteral("empty"));
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_EQ(none.out, "");
    EXPECT_NE(none.err.find("holds no configuration"), std::string::npos) << none.err;
}

TEST_F(CliProcessTest, SaveWritesTheFileIntoTheNamedWritersOnlyAndReadsItBack)
{
    const std::string config = newConfiguration();
    const QString file = writeFile(QStringLiteral("new.ini"), config);
    const ToolRun r = run({QStringLiteral("save"), file, QStringLiteral("--writers"), QStringLiteral("1,3"),
                       QStringLiteral("--json")},
                      QStringLiteral("normal,normal,normal"));
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(storedConfig(1), config);
    EXPECT_EQ(storedConfig(2), demoConfiguration());
    EXPECT_EQ(storedConfig(3), config);

    const auto results = jsonLines(r.out);
    ASSERT_EQ(results.size(), 2u) << r.out;
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(results[i][QLatin1String("writer")].toInt(), i == 0 ? 1 : 3);
        EXPECT_EQ(str(results[i], "operation"), "Config Save");
        EXPECT_EQ(str(results[i], "status"), "Config Save - OK!");
        EXPECT_TRUE(results[i][QLatin1String("ok")].toBool());
        EXPECT_EQ(str(results[i], "identification"), i == 0 ? "VREN Kesto Writer SN-1001" : "VREN Kesto Writer SN-1003");
    }

    // On the wire: the file's lines as line packets between the write request
    // and its end, then the read-back.
    std::vector<std::string> expected = {hexOf({CMD_CONFIG_WRITE})};
    for (const auto& packet : linePacketsOf(config))
        expected.push_back(hexOf(packet));
    expected.push_back(hexOf({CMD_END}));
    expected.push_back(hexOf({CMD_CONFIG_READ}));
    const std::vector<std::string> wire = requests(1);
    const auto first = std::find(wire.begin(), wire.end(), expected.front());
    ASSERT_NE(first, wire.end());
    EXPECT_EQ(std::vector<std::string>(first, first + std::ptrdiff_t(std::min(expected.size(), std::size_t(wire.end() - first)))),
              expected);

    // The audit trail names both writers and the text they were sent.
    const std::string sha = QCryptographicHash::hash(QByteArray::fromStdString(config), QCryptographicHash::Sha256)
                                .toHex()
                                .toStdString();
    const std::string audit = auditText();
    for (const char* id : {"Dev01 id=\"VREN Kesto Writer SN-1001\"", "Dev03 id=\"VREN Kesto Writer SN-1003\""}) {
        EXPECT_NE(audit.find(std::string("RESULT Config Save ") + id), std::string::npos) << audit;
    }
    EXPECT_NE(audit.find("result=\"Config Save - OK!\" sha256=" + sha), std::string::npos) << audit;
    EXPECT_NE(audit.find(">> VREN Kesto Config Save - START <<"), std::string::npos);
}

TEST_F(CliProcessTest, EachWriterEndsWithItsOwnResult)
{
    const QString file = writeFile(QStringLiteral("new.ini"), newConfiguration());
    writeFile(QStringLiteral("Config-VREN_Kesto_Configurator.ini"), "");
    struct Case {
        const char* name;
        const char* writers;
        QStringList extra;
        const char* settings;
        int exitCode;
        const char* secondStatus;
    };
    const Case cases[] = {
        {"silent", "normal,silent", {}, "", 1, "ReadUSB Error!"},
        {"corrupting", "normal,corrupt", {}, "", 1, "Verify Error!"},
        {"corrupting, --no-verify", "normal,corrupt", {QStringLiteral("--no-verify")}, "", 0, "Config Save - OK!"},
        {"corrupting, VerifyAfterSave=0", "normal,corrupt", {}, "[Options]\r\nVerifyAfterSave=0\r\n", 0,
         "Config Save - OK!"},
    };
    for (const Case& c : cases) {
        writeFile(QStringLiteral("Config-VREN_Kesto_Configurator.ini"), c.settings);
        const ToolRun r = run(QStringList{QStringLiteral("save"), file, QStringLiteral("--json")} + c.extra,
                          QString::fromLatin1(c.writers));
        EXPECT_EQ(r.exitCode, c.exitCode) << c.name << "\n" << r.err;
        const auto results = jsonLines(r.out);
        ASSERT_EQ(results.size(), 2u) << c.name << r.out;
        EXPECT_EQ(str(results[0], "status"), "Config Save - OK!") << c.name;
        EXPECT_TRUE(results[0][QLatin1String("ok")].toBool()) << c.name;
        EXPECT_EQ(str(results[1], "status"), c.secondStatus) << c.name;
        EXPECT_EQ(results[1][QLatin1String("ok")].toBool(), c.exitCode == 0) << c.name;
    }
}

TEST_F(CliProcessTest, AFileThatWouldNotLoadIsRefusedWithNothingOnTheWire)
{
    std::string longLine = newConfiguration();
    longLine.insert(longLine.find("\r\n"), std::string(300, 'x'));
    struct Case {
        const char* name;
        std::string bytes; // empty name: no file at all
        const char* says;
    };
    const Case cases[] = {
        {"not a configuration", "just some text\r\n", "not a configuration text"},
        {"empty", "", "empty"},
        {"a line too long", longLine, "longer than 259 bytes"},
        {"too large", std::string(70 * 1024, '-'), "larger than 64 KiB"},
        {"missing", "(no file)", "cannot read"},
    };
    for (const Case& c : cases) {
        QString file = path(QStringLiteral("missing.ini"));
        if (c.bytes != "(no file)")
            file = writeFile(QStringLiteral("bad.ini"), c.bytes);
        const ToolRun r = run({QStringLiteral("save"), file}, QStringLiteral("normal,normal"));
        EXPECT_EQ(r.exitCode, 2) << c.name;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << c.name << ": " << r.err;
        EXPECT_NE(r.err.find("nothing was written"), std::string::npos) << c.name;
        EXPECT_TRUE(requests(1).empty() && requests(2).empty()) << c.name;
        EXPECT_EQ(storedConfig(1), demoConfiguration()) << c.name;
    }
}

TEST_F(CliProcessTest, NoWriterAndWritersThatCannotBeOpenedHaveTheirOwnExitStatus)
{
    const ToolRun none = run({QStringLiteral("list"), QStringLiteral("--json")}, QString());
    EXPECT_EQ(none.exitCode, 2);
    EXPECT_EQ(none.out, "");
    EXPECT_NE(none.err.find("no writer is connected"), std::string::npos) << none.err;

    const ToolRun dead = run({QStringLiteral("list")}, QStringLiteral("dead"));
    EXPECT_EQ(dead.exitCode, 3);
    EXPECT_NE(dead.err.find("none could be opened"), std::string::npos) << dead.err;

    const QString file = writeFile(QStringLiteral("new.ini"), newConfiguration());
    const ToolRun absent = run({QStringLiteral("save"), file, QStringLiteral("--writers"), QStringLiteral("3")},
                           QStringLiteral("normal,normal"));
    EXPECT_EQ(absent.exitCode, 2);
    EXPECT_NE(absent.err.find("writer 3 is not connected (2 listed)"), std::string::npos) << absent.err;
    EXPECT_FALSE(received(1, CMD_CONFIG_WRITE));

    const ToolRun usage = run({QStringLiteral("save")}, QStringLiteral("normal"));
    EXPECT_EQ(usage.exitCode, 2);
    EXPECT_TRUE(requests(1).empty());
}

TEST_F(CliProcessTest, InitWithYesInitializesEveryWriterAndWithoutATerminalAsksForIt)
{
    // Without --yes and with no terminal to ask on, nothing happens.
    const ToolRun refused = run({QStringLiteral("init")}, QStringLiteral("normal,normal"));
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_NE(refused.err.find("--yes"), std::string::npos) << refused.err;
    EXPECT_FALSE(received(1, CMD_FS_INITIAL));
    EXPECT_FALSE(received(2, CMD_FS_INITIAL));

    // Writers 2 and 3 wait out their quiet phase on a clock 100 times faster.
    const ToolRun r = run({QStringLiteral("init"), QStringLiteral("--yes"), QStringLiteral("--json")},
                      QStringLiteral("normal,normal,normal"), {QStringLiteral("KESTO_EMULATED_CLOCK_SCALE=100")});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    const auto results = jsonLines(r.out);
    ASSERT_EQ(results.size(), 3u) << r.out;
    for (int n = 1; n <= 3; ++n) {
        EXPECT_EQ(str(results[std::size_t(n - 1)], "status"), "Kesto Initial - OK!");
        EXPECT_EQ(str(results[std::size_t(n - 1)], "operation"), "Kesto Initial");
        EXPECT_TRUE(received(n, CMD_FS_INITIAL));
        EXPECT_EQ(storedNames(n), "") << n;
    }
}

} // namespace
