#include "cli/KestoCli.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QSocketNotifier>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <iostream>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>
#include <sys/ioctl.h>
#include <unistd.h>
#include <vector>

#include "config/ConfigParser.h"
#include "config/SettingsFile.h"
#include "core/AuditLog.h"
#include "core/CodePage.h"
#include "core/MessageBoxes.h"
#include "core/MessageLog.h"
#include "core/Poster.h"
#include "operations/ConfigOperations.h"
#include "operations/FinishOperation.h"
#include "operations/KestoInitialWorker.h"
#include "writer/KestoProtocol.h"

namespace {

std::string utf8(std::string_view codePage)
{
    return fromCodePage(codePage).toStdString();
}

// Standard error, shared by the log lines of every worker and the progress
// line they all update: one lock, and the progress line is taken away
// before a line is written and drawn again after it.
class Terminal {
public:
    explicit Terminal(const CliEnvironment& env) : err_(env.err), terminal_(env.errIsTerminal) {}

    // UTF-8 text of whole lines ('\n'-ended).
    void write(Rgb color, const std::string& text)
    {
        std::lock_guard lock(mutex_);
        clearProgress();
        // Error lines stand out on a terminal as they do in the pane.
        const bool colored = terminal_ && color == kLogErrorColor;
        if (colored)
            std::fputs("\x1b[35m", err_);
        std::fwrite(text.data(), 1, text.size(), err_);
        if (colored)
            std::fputs("\x1b[0m", err_);
        drawProgress();
        std::fflush(err_);
    }

    // A message of the tool itself.
    void message(const std::string& text) { write(kLogTextColor, "vren-kesto: " + text + "\n"); }
    void error(const std::string& text) { write(kLogErrorColor, "vren-kesto: " + text + "\n"); }

    // The line that shows where the writers are; only on a terminal.
    void setProgress(std::string text)
    {
        if (!terminal_)
            return;
        std::lock_guard lock(mutex_);
        clearProgress();
        progress_ = std::move(text);
        drawProgress();
        std::fflush(err_);
    }
    void endProgress() { setProgress({}); }

private:
    void clearProgress()
    {
        if (shown_)
            std::fputs("\r\x1b[K", err_);
        shown_ = false;
    }
    void drawProgress()
    {
        if (!terminal_ || progress_.empty())
            return;
        // Cut to the terminal's width, so that the line never wraps and
        // "\r" always takes it back whole.
        std::size_t width = 80;
        winsize size{};
        if (::ioctl(::fileno(err_), TIOCGWINSZ, &size) == 0 && size.ws_col > 1)
            width = size.ws_col;
        const std::string shown = progress_.substr(0, width - 1);
        std::fwrite(shown.data(), 1, shown.size(), err_);
        shown_ = true;
    }

    std::FILE* err_;
    const bool terminal_;
    std::mutex mutex_;
    std::string progress_; // guarded by mutex_
    bool shown_ = false;   // guarded by mutex_
};

// The log pane of the window, on standard error: every line also goes to
// the audit log, as the pane writes it.
class CliLog : public MessageLog {
public:
    CliLog(Terminal& terminal, AuditLog& audit) : terminal_(terminal), audit_(audit) {}

protected:
    void append(Rgb color, std::string text) override
    {
        const QString shown = fromCodePageLines(text);
        std::string out = shown.toStdString();
        // A line's end comes with its last append; on the terminal every
        // append stands on its own line.
        if (!out.empty() && out.back() != '\n')
            out += '\n';
        terminal_.write(color, out);

        std::vector<QString> lines;
        {
            std::lock_guard lock(mutex_);
            partial_ += shown;
            qsizetype end;
            while ((end = partial_.indexOf(QLatin1Char('\n'))) >= 0) {
                lines.push_back(partial_.left(end));
                partial_.remove(0, end + 1);
            }
        }
        // Outside the lock: a failing log file says so through the terminal.
        for (const QString& line : lines)
            audit_.appendLine(line);
    }

private:
    Terminal& terminal_;
    AuditLog& audit_;
    std::mutex mutex_;
    QString partial_; // guarded by mutex_
};

// The window's message boxes become log lines; nobody is there to answer.
class CliBoxes : public MessageBoxes {
public:
    explicit CliBoxes(MessageLog& log) : log_(log) {}
    void information(const std::string& text) override { log_.LogColored(kLogErrorColor, "%s\r\n", text.c_str()); }
    bool askYesNo(const std::string&, const std::string&) override { return false; }

private:
    MessageLog& log_;
};

struct ListedWriter {
    std::string status; // contact status text (code-page bytes)
    WriterDetails details;
};

class CliListView : public WriterListView {
public:
    void clearWriters() override { writers.clear(); }
    void addWriter(const std::string& statusText, const WriterDetails& details) override
    {
        writers.push_back({statusText, details});
    }
    std::vector<ListedWriter> writers;
};

// What one writer ended with.
struct WriterOutcome {
    std::string status; // the last status text (code-page bytes)
    std::string identification;
    bool done = false;
    OperationStatus code = OperationStatus(0);
};

// What the workers report: kept per writer for the results, shown on the
// progress line, and each writer's result written to the audit log.
class CliReport : public OperationReport {
public:
    CliReport(MessageLog& log, Terminal& terminal, AuditLog& audit, Poster& poster)
        : log_(log), terminal_(terminal), audit_(audit), poster_(poster)
    {
    }

    // Before the operation starts (no worker runs yet).
    void begin(std::vector<int> devices, std::vector<ListedWriter> writers, QString note)
    {
        std::lock_guard lock(mutex_);
        devices_ = std::move(devices);
        writers_ = std::move(writers);
        note_ = std::move(note);
        outcomes_.assign(kMaxDevices, {});
        finished_ = false;
    }
    // On the session's thread, once `finished()` is true.
    std::vector<WriterOutcome> outcomes() const
    {
        std::lock_guard lock(mutex_);
        return outcomes_;
    }
    bool finished() const { return finished_; }

    void writerStatus(int dev, const std::string& text) override
    {
        std::string progress;
        {
            std::lock_guard lock(mutex_);
            if (dev < 0 || dev >= kMaxDevices)
                return;
            outcomes_[std::size_t(dev)].status = text;
            progress = progressLine();
        }
        terminal_.setProgress(std::move(progress));
    }
    void logLine(Rgb color, const std::string& text) override { log_.LogPreformatted(color, text); }
    void writerIdentified(int dev, const std::string& identification) override
    {
        std::lock_guard lock(mutex_);
        if (dev >= 0 && dev < kMaxDevices)
            outcomes_[std::size_t(dev)].identification = identification;
    }
    void writerDone(Operation operation, int dev, OperationStatus status) override
    {
        QString record;
        std::string progress;
        {
            std::lock_guard lock(mutex_);
            if (dev < 0 || dev >= kMaxDevices)
                return;
            WriterOutcome& o = outcomes_[std::size_t(dev)];
            o.done = true;
            o.code = status;
            const std::string location =
                std::size_t(dev) < writers_.size() ? writers_[std::size_t(dev)].details.location : std::string();
            record = AuditLog::resultRecord(operationName(operation), dev, o.identification, location,
                                            finishStatusText(operation, status), note_);
            progress = progressLine();
        }
        terminal_.setProgress(std::move(progress));
        audit_.appendLine(record);
    }
    void operationDone(Operation, const ControlsBack&) override
    {
        poster_.post([this] { finished_ = true; });
    }

private:
    // "[1/3 done] Dev01 Config Save - OK!  Dev02 Config Save...". Called with mutex_ held.
    std::string progressLine() const
    {
        int done = 0;
        std::string states;
        for (int dev : devices_) {
            const WriterOutcome& o = outcomes_[std::size_t(dev)];
            done += o.done ? 1 : 0;
            char name[32];
            std::snprintf(name, sizeof name, "  Dev%02d ", dev + 1);
            states += name + (o.status.empty() ? std::string("...") : utf8(o.status));
        }
        return "[" + std::to_string(done) + "/" + std::to_string(devices_.size()) + " done]" + states;
    }

    MessageLog& log_;
    Terminal& terminal_;
    AuditLog& audit_;
    Poster& poster_;
    mutable std::mutex mutex_;
    std::vector<int> devices_;
    std::vector<ListedWriter> writers_;
    QString note_;
    std::vector<WriterOutcome> outcomes_;
    bool finished_ = false; // set on the session's thread only
};

// Ctrl-C (or a SIGTERM) while writers work: they stop after their current
// transfer, and the results say which ones did not finish. A second one
// ends the program at once.
class StopOnSignal {
public:
    explicit StopOnSignal(std::function<void()> stop) : stop_(std::move(stop))
    {
        if (::pipe(pipe_) != 0)
            return;
        writeEnd_ = pipe_[1];
        notifier_ = std::make_unique<QSocketNotifier>(pipe_[0], QSocketNotifier::Read);
        QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] {
            char byte;
            [[maybe_unused]] const auto n = ::read(pipe_[0], &byte, 1);
            notifier_->setEnabled(false);
            std::signal(SIGINT, SIG_DFL);
            std::signal(SIGTERM, SIG_DFL);
            stop_();
        });
        std::signal(SIGINT, &StopOnSignal::onSignal);
        std::signal(SIGTERM, &StopOnSignal::onSignal);
    }
    ~StopOnSignal()
    {
        std::signal(SIGINT, SIG_DFL);
        std::signal(SIGTERM, SIG_DFL);
        writeEnd_ = -1;
        notifier_.reset();
        if (pipe_[0] >= 0) {
            ::close(pipe_[0]);
            ::close(pipe_[1]);
        }
    }
    StopOnSignal(const StopOnSignal&) = delete;
    StopOnSignal& operator=(const StopOnSignal&) = delete;

private:
    static void onSignal(int)
    {
        if (const int fd = writeEnd_; fd >= 0) {
            const char byte = 1;
            [[maybe_unused]] const auto n = ::write(fd, &byte, 1);
        }
    }

    static inline std::atomic<int> writeEnd_{-1};
    int pipe_[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> notifier_;
    std::function<void()> stop_;
};

void waitFor(const std::function<bool()>& done)
{
    while (!done())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

// The lines of a config.ini file as a Config Save sends them, after the same
// checks the page makes, and the parse a later Config Load makes. Empty
// `problem` on success.
std::vector<std::string> readConfigFile(const std::string& path, std::string& problem)
{
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly)) {
        problem = "cannot read " + path + ": " + file.errorString().toStdString();
        return {};
    }
    // A configuration the writers hold is at most this long; a larger file
    // is something else.
    if (file.size() > qint64(kesto::kMaxConfigTextBytes)) {
        problem = path + " is larger than 64 KiB: not a configuration text";
        return {};
    }
    const QByteArray bytes = file.readAll();
    const std::string_view text(bytes.constData(), std::size_t(bytes.size()));

    // Lines end in CR LF as the writer stores them; a bare LF (a file edited
    // here) is taken as well.
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        const std::size_t next = end == std::string_view::npos ? text.size() : end + 1;
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r' && end < text.size())
            line.remove_suffix(1);
        lines.emplace_back(line);
        start = next;
    }
    if (lines.empty()) {
        problem = path + " is empty: not a configuration text";
        return {};
    }
    if (lines.size() > std::size_t(CONFIG_TEXT_LINES)) {
        problem = path + " has " + std::to_string(lines.size()) + " lines; a configuration has at most "
            + std::to_string(CONFIG_TEXT_LINES);
        return {};
    }
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        // A CR or a zero byte would split or end the line on the writer.
        if (line.find_first_of(std::string_view("\r\0", 2)) != std::string::npos) {
            problem = path + ": line " + std::to_string(i + 1) + " holds a CR or a zero byte";
            return {};
        }
        if (line.size() > kConfigLineMaxChars) {
            problem = path + ": line " + std::to_string(i + 1) + " is longer than "
                + std::to_string(kConfigLineMaxChars) + " bytes";
            return {};
        }
    }

    std::string stored;
    for (const std::string& line : lines)
        stored.append(line).append("\r\n");
    LogBuffer parseLog; // its line names a writer; the message here names the file
    ConfigText configText;
    TargetSettings settings;
    std::vector<TargetFileEntry> entries;
    if (ParseConfigText(stored, 0, parseLog, configText, settings, entries) != OS_SUCCESS) {
        problem = path + " is not a configuration text the writers can load (it needs the file list, "
                         "the separator line and the settings of a config.ini)";
        return {};
    }
    return lines;
}

QJsonObject writerObject(int dev, const ListedWriter& writer)
{
    QJsonObject o;
    o[QStringLiteral("writer")] = dev + 1;
    o[QStringLiteral("usb")] = fromCodePage(writer.details.location);
    o[QStringLiteral("firmware")] = fromCodePage(writer.details.firmwareVersion);
    return o;
}

void printJson(std::FILE* out, const QJsonObject& object)
{
    const QByteArray line = QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
    std::fwrite(line.constData(), 1, std::size_t(line.size()), out);
}

class Cli {
public:
    Cli(const CliOptions& options, const CliEnvironment& env)
        : options_(options)
        , env_(env)
        , terminal_(env)
        , audit_(env.logFolder.isEmpty() ? AuditLog::defaultFolder() : env.logFolder,
                 [this](const QString& message) { terminal_.error(message.toStdString()); })
        , log_(terminal_, audit_)
        , boxes_(log_)
        , report_(log_, terminal_, audit_, poster_)
    {
    }

    int run();

private:
    int list();
    int load();
    int save(std::vector<std::string> lines);
    int init();

    // The writers an operation runs on: those named, or every listed one.
    // Device indexes; nullopt (and the message) when a named one is not there.
    std::optional<std::vector<int>> selectedDevices();
    // Reopens the writers, runs the operation and waits for its last
    // worker. An exit status when it could not start, else nullopt.
    std::optional<int> runOperation(Operation operation, const std::vector<int>& devices, OperationMiddle middle,
                                    const QString& note = {});
    // One result per writer: JSON or a text line; the exit status.
    int reportResults(Operation operation, const std::vector<int>& devices, std::FILE* textOut,
                      const std::function<void(int dev, QJsonObject&)>& addToJson = {});
    void closeAll();

    const CliOptions& options_;
    const CliEnvironment& env_;
    Terminal terminal_;
    AuditLog audit_;
    CliLog log_;
    CliBoxes boxes_;
    CliListView view_;
    Poster poster_;
    CliReport report_;
    std::unique_ptr<WriterSession> session_; // goes first: it waits for its workers
};

int Cli::run()
{
    // A file that would not load is refused before any writer hears anything.
    std::vector<std::string> saveLines;
    if (options_.command == CliCommand::Save) {
        std::string problem;
        saveLines = readConfigFile(options_.configFile, problem);
        if (!problem.empty()) {
            terminal_.error(problem + "; nothing was written");
            return kCliUsage;
        }
    }

    session_ = std::make_unique<WriterSession>(log_, boxes_, view_);
    session_->setBackend(env_.makeBackend);
    bool relisted = false;
    session_->RelistWriters(-1, false, [&relisted] { relisted = true; });
    waitFor([&] { return relisted; });

    if (view_.writers.empty()) {
        if (session_->deviceTable().writersFound > 0) {
            terminal_.error(std::to_string(session_->deviceTable().writersFound)
                            + " writer(s) found, but none could be opened");
            return kCliCannotOpen;
        }
        terminal_.error("no writer is connected");
        return kCliUsage;
    }

    switch (options_.command) {
    case CliCommand::List: return list();
    case CliCommand::Load: return load();
    case CliCommand::Save: return save(std::move(saveLines));
    case CliCommand::Init: return init();
    case CliCommand::None: break;
    }
    return kCliUsage;
}

void Cli::closeAll()
{
    for (int i = 0; i < kMaxDevices; ++i)
        session_->transport().CloseDevice(i);
}

std::optional<std::vector<int>> Cli::selectedDevices()
{
    const int listed = int(view_.writers.size());
    std::vector<int> devices;
    if (options_.writers.empty()) {
        for (int i = 0; i < listed; ++i)
            devices.push_back(i);
        return devices;
    }
    for (int n : options_.writers) {
        if (n > listed) {
            terminal_.error("writer " + std::to_string(n) + " is not connected (" + std::to_string(listed)
                            + " listed)");
            return std::nullopt;
        }
        devices.push_back(n - 1);
    }
    return devices;
}

std::optional<int> Cli::runOperation(Operation operation, const std::vector<int>& devices, OperationMiddle middle,
                                     const QString& note)
{
    if (session_->reopenWriters() == 0) {
        closeAll();
        log_.LogColored(kLogErrorColor, "Cannot Open SOLVAN USB Device!\r\n");
        return kCliCannotOpen;
    }
    // A writer that gets no worker is not kept open: nothing would close it.
    for (int i = 0; i < kMaxDevices; ++i) {
        if (std::find(devices.begin(), devices.end(), i) == devices.end())
            session_->transport().CloseDevice(i);
    }
    report_.begin(devices, view_.writers, note);
    StopOnSignal stop([this] {
        log_.LogColored(kLogErrorColor, "Stopping: the writers stop after their current transfer.\r\n");
        session_->stopWork();
    });
    if (!session_->startOperation(operation, devices, std::move(middle), report_)) {
        closeAll();
        terminal_.error("the writers are busy");
        return kCliWriterFailed;
    }
    waitFor([this] { return report_.finished(); });
    terminal_.endProgress();
    return std::nullopt;
}

int Cli::reportResults(Operation operation, const std::vector<int>& devices, std::FILE* textOut,
                       const std::function<void(int, QJsonObject&)>& addToJson)
{
    const std::vector<WriterOutcome> outcomes = report_.outcomes();
    bool allOk = true;
    for (int dev : devices) {
        const WriterOutcome& o = outcomes[std::size_t(dev)];
        const bool ok = o.done && o.code == OS_EXIT_OK;
        allOk = allOk && ok;
        const ListedWriter& w = view_.writers[std::size_t(dev)];
        const std::string status = o.done ? finishStatusText(operation, o.code) : o.status;
        if (options_.json) {
            QJsonObject json = writerObject(dev, w);
            json[QStringLiteral("operation")] = QString::fromLatin1(operationName(operation));
            json[QStringLiteral("ok")] = ok;
            json[QStringLiteral("status")] = fromCodePage(status);
            json[QStringLiteral("identification")] = fromCodePage(o.identification);
            if (addToJson)
                addToJson(dev, json);
            printJson(env_.out, json);
        } else {
            std::fprintf(textOut, "%d\t%s\t%s\t%s\n", dev + 1, w.details.location.c_str(), utf8(status).c_str(),
                         utf8(o.identification).c_str());
        }
    }
    std::fflush(env_.out);
    return allOk ? kCliOk : kCliWriterFailed;
}

int Cli::list()
{
    // The contact check asks for the firmware version only; the
    // identification is one more request to each writer that answered.
    const int listed = int(view_.writers.size());
    std::vector<std::string> identifications(static_cast<std::size_t>(listed));
    std::vector<LogBuffer> logs(static_cast<std::size_t>(listed));
    std::vector<int> devices;
    for (int i = 0; i < listed; ++i) {
        if (!view_.writers[std::size_t(i)].details.firmwareVersion.empty())
            devices.push_back(i);
    }
    if (!devices.empty() && session_->reopenWriters() != 0) {
        bool done = false;
        OperationRunner& runner = session_->runner();
        const bool started = runner.start(
            devices,
            [&](int dev) {
                KestoProtocol protocol(runner.workerTransport(), logs[std::size_t(dev)]);
                DeviceInfoText info;
                if (protocol.Kesto_GetDeviceInfo(dev, info) == OS_SUCCESS)
                    identifications[std::size_t(dev)] = info.text();
            },
            [&] { poster_.post([&done] { done = true; }); });
        if (started)
            waitFor([&] { return done; });
        for (LogBuffer& l : logs)
            l.replayInto(log_);
    }
    closeAll();

    bool allAnswered = true;
    for (int i = 0; i < listed; ++i) {
        const ListedWriter& w = view_.writers[std::size_t(i)];
        const bool answered = !w.details.firmwareVersion.empty();
        allAnswered = allAnswered && answered;
        if (options_.json) {
            QJsonObject json = writerObject(i, w);
            json[QStringLiteral("contact")] = fromCodePage(w.status);
            json[QStringLiteral("ok")] = answered;
            json[QStringLiteral("identification")] = fromCodePage(identifications[std::size_t(i)]);
            printJson(env_.out, json);
        } else {
            std::fprintf(env_.out, "%d\t%s\t%s\t%s\t%s\n", i + 1, w.details.location.c_str(), utf8(w.status).c_str(),
                         utf8(identifications[std::size_t(i)]).c_str(), utf8(w.details.firmwareVersion).c_str());
        }
    }
    std::fflush(env_.out);
    return allAnswered ? kCliOk : kCliWriterFailed;
}

int Cli::load()
{
    log_.LogText(">> VREN Kesto Config Load - START <<\r\n");
    // Handed over by the worker before its finish, read here after the last one.
    struct HandOver {
        std::mutex mutex;
        ConfigLoadResult result;
    };
    auto handOver = std::make_shared<HandOver>();
    auto deliver = [handOver](ConfigLoadResult r) {
        std::lock_guard lock(handOver->mutex);
        handOver->result = std::move(r);
    };
    if (auto status = runOperation(Operation::ConfigLoad, {0}, ConfigLoadMiddle({}, std::move(deliver))))
        return *status;

    ConfigLoadResult loaded;
    {
        std::lock_guard lock(handOver->mutex);
        loaded = std::move(handOver->result);
    }
    const bool operationOk = report_.outcomes()[0].code == OS_EXIT_OK;
    if (operationOk) {
        std::string names = "Files stored on writer 1:\n";
        for (const std::string& name : loaded.names)
            names += "  " + utf8(name) + "\n";
        terminal_.write(kLogTextColor, names);
    }

    bool delivered = false;
    if (operationOk && loaded.loaded) {
        if (!options_.outputFile.empty()) {
            QSaveFile file(QString::fromStdString(options_.outputFile));
            if (file.open(QIODevice::WriteOnly)
                && file.write(loaded.text.data(), qint64(loaded.text.size())) == qint64(loaded.text.size())
                && file.commit()) {
                delivered = true;
                terminal_.message("the configuration of writer 1 is in " + options_.outputFile);
            } else {
                terminal_.error("cannot write " + options_.outputFile + ": " + file.errorString().toStdString());
            }
        } else if (!options_.json) {
            std::fwrite(loaded.text.data(), 1, loaded.text.size(), env_.out);
            std::fflush(env_.out);
            delivered = true;
        } else {
            delivered = true;
        }
    } else if (operationOk) {
        terminal_.error("writer 1 holds no configuration that loads: nothing was written");
    }

    int status = kCliOk;
    auto addToJson = [&](int, QJsonObject& json) {
        QJsonArray files;
        for (const std::string& name : loaded.names)
            files.append(fromCodePage(name));
        json[QStringLiteral("files")] = files;
        json[QStringLiteral("configuration")] = loaded.loaded;
        if (loaded.loaded && options_.outputFile.empty())
            json[QStringLiteral("text")] = fromCodePage(loaded.text);
    };
    if (options_.json)
        status = reportResults(Operation::ConfigLoad, {0}, env_.out, addToJson);
    else
        status = reportResults(Operation::ConfigLoad, {0}, env_.err, {});
    return status == kCliOk && !delivered ? kCliWriterFailed : status;
}

int Cli::save(std::vector<std::string> lines)
{
    const auto devices = selectedDevices();
    if (!devices)
        return kCliUsage;
    const SettingsFile settings =
        SettingsFile::load((env_.programFolder + QStringLiteral("/Config-VREN_Kesto_Configurator.ini")).toStdString());

    auto job = std::make_shared<ConfigSaveJob>();
    job->lines = std::move(lines);
    job->verifyAfterSave = !options_.noVerify && settings.readInt("Options", "VerifyAfterSave", 1) != 0;
    const QString note = QStringLiteral("sha256=") + QString::fromStdString(sentTextSha256(job->lines));

    log_.LogText(">> VREN Kesto Config Save - START <<\r\n");
    if (auto status = runOperation(Operation::ConfigSave, *devices, ConfigSaveMiddle(std::move(job)), note))
        return *status;
    return reportResults(Operation::ConfigSave, *devices, env_.out);
}

int Cli::init()
{
    const auto devices = selectedDevices();
    if (!devices)
        return kCliUsage;
    if (!options_.yes) {
        if (!env_.inIsTerminal || !env_.readAnswer) {
            terminal_.error("init erases every file on the writers: give --yes to run it without a terminal");
            return kCliUsage;
        }
        std::string names;
        for (int dev : *devices) {
            char name[32];
            std::snprintf(name, sizeof name, "%sDev%02d", names.empty() ? "" : ", ", dev + 1);
            names += name;
        }
        terminal_.write(kLogTextColor, "Initialize " + std::to_string(devices->size()) + " writer(s) (" + names
                                           + ")? All their files are erased. [y/N] ");
        const std::string answer = env_.readAnswer();
        if (answer != "y" && answer != "Y" && answer != "yes" && answer != "YES" && answer != "Yes") {
            terminal_.message("nothing was done");
            return kCliWriterFailed;
        }
    }
    if (auto status = runOperation(Operation::Initialization, *devices, KestoInitialWorker(*env_.clock)))
        return *status;
    return reportResults(Operation::Initialization, *devices, env_.out);
}

} // namespace

int runKestoCli(const CliOptions& options, const CliEnvironment& environment)
{
    if (options.help) {
        std::fputs(cliUsage().c_str(), environment.out);
        return kCliOk;
    }
    if (options.version) {
        std::fprintf(environment.out, "vren-kesto %s\n", KESTO_VERSION_TEXT);
        return kCliOk;
    }
    Cli cli(options, environment);
    return cli.run();
}

int runKestoCli(const std::vector<std::string>& args, const CliEnvironment& environment)
{
    std::string error;
    const std::optional<CliOptions> options = parseCliArguments(args, error);
    if (!options) {
        std::fprintf(environment.err, "vren-kesto: %s\nTry 'vren-kesto --help' for more.\n", error.c_str());
        return kCliUsage;
    }
    return runKestoCli(*options, environment);
}

int kestoCliMain(int argc, char** argv, WriterSession::BackendFactory makeBackend,
                 const std::function<void(CliEnvironment&)>& adjust)
{
    // Standard output carries results only (a configuration text, JSON). The
    // back ends print what they open with printf: that goes to standard
    // error with the log lines.
    std::fflush(stdout);
    const int resultsFd = ::dup(STDOUT_FILENO);
    std::FILE* results = resultsFd >= 0 ? ::fdopen(resultsFd, "w") : nullptr;
    if (!results) {
        std::perror("vren-kesto: standard output");
        return kCliUsage;
    }
    ::dup2(STDERR_FILENO, STDOUT_FILENO);

    QCoreApplication app(argc, argv);
    // The same user data folder (log files) as the window's.
    QCoreApplication::setOrganizationName(QStringLiteral("VREN_Kesto of Velmont"));
    QCoreApplication::setApplicationName(QStringLiteral("VREN_Kesto_Configurator"));

    CliEnvironment env;
    env.makeBackend = std::move(makeBackend);
    env.out = results;
    env.err = stderr;
    env.errIsTerminal = ::isatty(STDERR_FILENO) == 1;
    env.inIsTerminal = ::isatty(STDIN_FILENO) == 1;
    env.readAnswer = [] {
        std::string line;
        std::getline(std::cin, line);
        return line;
    };
    env.programFolder = QCoreApplication::applicationDirPath();
    if (adjust)
        adjust(env);

    const std::vector<std::string> args(argv + 1, argv + argc);
    const int status = runKestoCli(args, env);
    std::fclose(results);
    return status;
}
