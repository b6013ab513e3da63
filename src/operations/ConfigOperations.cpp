#include "operations/ConfigOperations.h"

#include <QCryptographicHash>

#include <algorithm>
#include <cstring>

#include "config/ConfigParser.h"
#include "core/MessageLog.h"

namespace {

// The status that answers a stream's request says why it failed: RS_ERROR is
// an unusable file system, RS_FAILED the line the stream names. Later
// statuses fail without a line.
void logRequestRefusal(KestoProtocol& protocol, MessageLog& log, int dev, const char* failedWhat)
{
    const kesto::StatusReply reply = protocol.lastReply(dev);
    if (reply.hasStatus && reply.status == RS_ERROR)
        log.LogColored(kLogErrorColor, "\t +  Dev%02d: Kesto_FileSystemMount Error!\r\n", dev + 1);
    else if (reply.hasStatus && reply.status == RS_FAILED)
        log.LogText("\t +  Dev%02d: %s\r\n", dev + 1, failedWhat);
}

} // namespace

OperationStatus Kesto_FileNameLoad(KestoProtocol& protocol, MessageLog& log, int dev, FileNameList& out)
{
    StreamStep step = StreamStep::None;
    const OperationStatus status = protocol.Kesto_FileNameLoad(dev, out, &step);
    if (status == OS_COMM_ERROR && step == StreamStep::Request)
        logRequestRefusal(protocol, log, dev, "Kesto_FileNameLoad Error!");
    // Names beyond what the list holds are read off the wire but not kept;
    // the user should know the page does not show every stored file.
    if (out.droppedNames > 0)
        log.LogColored(kLogErrorColor,
            "\t +  Dev%02d: %d file names beyond the first %d are not listed!\r\n", dev + 1, out.droppedNames,
            kesto::kMaxFileNames);
    if (out.truncatedNames > 0)
        log.LogColored(kLogErrorColor,
            "\t +  Dev%02d: %d file names longer than %d bytes are cut!\r\n", dev + 1, out.truncatedNames,
            int(kesto::kMaxFileNameBytes));
    return status;
}

OperationStatus Kesto_ConfigLoad(KestoProtocol& protocol, MessageLog& log, int dev, ConfigText& configText,
                                 TargetSettings& settings, std::vector<TargetFileEntry>& targetEntries,
                                 std::string* rawText)
{
    std::string text;
    StreamStep step = StreamStep::None;
    const OperationStatus status = protocol.Kesto_ConfigRead(dev, text, &step);
    if (status == OS_COMM_ERROR && step == StreamStep::Request) {
        logRequestRefusal(protocol, log, dev, "<configuration> File Open Error!");
        return status;
    }
    if (status == OS_CONFIG_WRONG && step == StreamStep::Request && protocol.lastReply(dev).value == 0) {
        log.LogText("\t +  Dev%02d: <configuration> is wrong!\r\n", dev + 1);
        return status;
    }
    if (status != OS_SUCCESS)
        return status;
    if (rawText)
        *rawText = text;
    return ParseConfigText(text, dev, log, configText, settings, targetEntries);
}

OperationStatus Kesto_ConfigSave(KestoProtocol& protocol, MessageLog& log, int dev,
                                 const std::vector<std::string>& lines)
{
    ConfigWriteStep step = ConfigWriteStep::None;
    const OperationStatus status = protocol.Kesto_ConfigWrite(dev, lines, &step);
    // A writer that answered with a status other than OK says where.
    if (status == OS_COMM_ERROR) {
        switch (step) {
        case ConfigWriteStep::Request:
            log.LogColored(kLogErrorColor, "\t +  Dev%02d: Kesto_ConfigSave Error(0x%x)!\r\n", dev + 1,
                           unsigned(protocol.lastReply(dev).status));
            break;
        case ConfigWriteStep::Line:
            log.LogColored(kLogErrorColor, "\t +  Dev%02d: <configuration> File Write Error!\r\n", dev + 1);
            break;
        case ConfigWriteStep::End:
            log.LogColored(kLogErrorColor, "\t +  Dev%02d: <configuration> File Write End Error!\r\n", dev + 1);
            break;
        case ConfigWriteStep::None:
            break;
        }
    }
    return status;
}

OperationStatus Kesto_ConfigVerify(KestoProtocol& protocol, MessageLog& log, int dev,
                                   const std::vector<std::string>& lines)
{
    std::string sent;
    for (const std::string& line : lines)
        sent.append(line).append("\r\n");

    std::string stored;
    StreamStep step = StreamStep::None;
    const OperationStatus status = protocol.Kesto_ConfigRead(dev, stored, &step);
    // A transfer that failed says so in the finish; the writer may not even be there.
    if (status == OS_WRITE_USB_ERROR || status == OS_READ_USB_ERROR) {
        log.LogColored(kLogErrorColor, "\t +  Dev%02d: <configuration> Verify Read Error!\r\n", dev + 1);
        return status;
    }
    // An empty stored text is announced as length 0: it differs at byte 0
    // like any other short text. Any other refusal leaves nothing to compare.
    const bool empty = status == OS_CONFIG_WRONG && step == StreamStep::Request && protocol.lastReply(dev).value == 0;
    if (status != OS_SUCCESS && !empty) {
        log.LogColored(kLogErrorColor, "\t +  Dev%02d: <configuration> Verify Error! (cannot read it back)\r\n",
                       dev + 1);
        return OS_VERIFY_ERROR;
    }
    if (stored == sent) {
        log.LogText("\t +  Dev%02d: <configuration> Verify OK!\r\n", dev + 1);
        return OS_SUCCESS;
    }
    const auto mismatch = std::mismatch(sent.begin(), sent.end(), stored.begin(), stored.end());
    const std::size_t offset = std::size_t(mismatch.first - sent.begin());
    log.LogColored(kLogErrorColor,
        "\t +  Dev%02d: <configuration> Verify Error at byte %zu! (%zu bytes sent, %zu read back)\r\n", dev + 1,
        offset, sent.size(), stored.size());
    return OS_VERIFY_ERROR;
}

bool isConfigFileName(const std::string& name)
{
    static constexpr char kConfig[] = "config.ini";
    return name.size() >= sizeof kConfig - 1 && std::memcmp(name.data(), kConfig, sizeof kConfig - 1) == 0;
}

OperationMiddle ConfigLoadMiddle(ConfigLoadJob job, std::function<void(ConfigLoadResult)> deliver)
{
    return [job = std::move(job), deliver = std::move(deliver)](WorkerContext& c) -> OperationStatus {
        auto names = std::make_unique<FileNameList>();
        if (const OperationStatus s = Kesto_FileNameLoad(c.protocol, c.log, c.dev, *names); s != OS_SUCCESS)
            return s;
        ConfigLoadResult result;
        for (int i = 0; i < names->count; ++i)
            result.names.push_back(names->name(i));

        bool listed = false;
        for (const std::string& name : result.names) {
            if (!isConfigFileName(name))
                continue;
            listed = true;
            result.configText = job.configText;
            result.settings = job.settings;
            const OperationStatus s = Kesto_ConfigLoad(c.protocol, c.log, c.dev, result.configText, result.settings,
                                                       result.targetEntries, &result.text);
            if (s == OS_SUCCESS)
                result.loaded = true;
            else if (s != OS_CONFIG_WRONG)
                return s;
            break;
        }
        if (!result.loaded) {
            result.text.clear();
            result.configText = ConfigText{};
            result.settings = job.settings;
            result.targetEntries.clear();
        }
        if (!listed)
            c.log.LogText("<configuration> file does not exist!\r\n");
        if (deliver)
            deliver(std::move(result));
        return OS_SUCCESS;
    };
}

OperationMiddle ConfigSaveMiddle(std::shared_ptr<const ConfigSaveJob> job)
{
    return [job = std::move(job)](WorkerContext& c) -> OperationStatus {
        const OperationStatus status = Kesto_ConfigSave(c.protocol, c.log, c.dev, job->lines);
        if (status != OS_SUCCESS || !job->verifyAfterSave)
            return status;
        return Kesto_ConfigVerify(c.protocol, c.log, c.dev, job->lines);
    };
}

std::string sentTextSha256(const std::vector<std::string>& lines)
{
    QCryptographicHash sha(QCryptographicHash::Sha256);
    for (const std::string& line : lines) {
        sha.addData(QByteArrayView(line.data(), qsizetype(line.size())));
        sha.addData(QByteArrayView("\r\n", 2));
    }
    return sha.result().toHex().toStdString();
}
