#include "update/UpdateDescription.h"

#include <QDir>
#include <QFile>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include "config/SettingsFile.h"

#ifndef KESTO_UPDATE_BASE_URL
#define KESTO_UPDATE_BASE_URL "https://update.velmont.example"
#endif

std::optional<std::vector<UpdateFileEntry>> parseUpdateDescription(const QByteArray& xml, QString* error)
{
    QXmlStreamReader reader(xml);
    std::vector<UpdateFileEntry> files;
    while (!reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement || reader.qualifiedName() != u"file")
            continue;
        const QXmlStreamAttributes attributes = reader.attributes();
        files.push_back({attributes.value(QLatin1String("name")).toString(),
                         attributes.value(QLatin1String("version")).toString(),
                         attributes.value(QLatin1String("sha256")).toString()});
    }
    if (reader.hasError()) {
        if (error)
            *error = QStringLiteral("line %1: %2").arg(reader.lineNumber()).arg(reader.errorString());
        return std::nullopt;
    }
    return files;
}

QByteArray writeUpdateDescription(const std::vector<UpdateFileEntry>& files)
{
    QByteArray out;
    QXmlStreamWriter writer(&out);
    writer.setAutoFormatting(true);
    writer.writeStartDocument();
    writer.writeStartElement(QStringLiteral("update"));
    for (const UpdateFileEntry& file : files) {
        writer.writeEmptyElement(QStringLiteral("file"));
        writer.writeAttribute(QStringLiteral("name"), file.name);
        writer.writeAttribute(QStringLiteral("version"), file.version);
        if (!file.sha256.isEmpty())
            writer.writeAttribute(QStringLiteral("sha256"), file.sha256);
    }
    writer.writeEndElement();
    writer.writeEndDocument();
    return out;
}

bool isSafeUpdateName(const QString& name)
{
    if (name.isEmpty() || name.startsWith(u'/') || name.contains(u'\\') || name.contains(QStringLiteral("..")))
        return false;
    // "C:..." names a drive on Windows.
    if (name.size() >= 2 && name[1] == u':')
        return false;
    for (const QChar c : name)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            return false;
    for (const QStringView part : QStringView(name).split(u'/'))
        if (part.isEmpty() || part == u".")
            return false;
    return true;
}

QString updateLocalPath(const QString& programFolder, const QString& name)
{
    return QDir::toNativeSeparators(programFolder + u'/' + name);
}

QString shownUpdateText(const QString& text)
{
    QString shown = text;
    for (QChar& c : shown)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            c = u'?';
    return shown;
}

QString defaultUpdateBaseUrl()
{
    return QStringLiteral(KESTO_UPDATE_BASE_URL);
}

QString updateBaseUrl(const QString& settingsFilePath)
{
    const SettingsFile settings = SettingsFile::load(QFile::encodeName(settingsFilePath).toStdString());
    QString base = QString::fromStdString(settings.readText("Update", "BaseUrl", "")).trimmed();
    if (base.isEmpty())
        base = defaultUpdateBaseUrl();
    while (base.endsWith(u'/'))
        base.chop(1);
    return base;
}

QUrl remoteDescriptionUrl(const QString& baseUrl)
{
    return remoteFileUrl(baseUrl, QString::fromLatin1(kLocalDescriptionName));
}

QUrl remoteFileUrl(const QString& baseUrl, const QString& name)
{
    QUrl url(baseUrl, QUrl::StrictMode);
    // Set as a decoded path, so that '#', '?' or '%' in a name travel as part
    // of the path.
    url.setPath(url.path(QUrl::FullyDecoded) + QLatin1String(kRemoteFolderPath) + name, QUrl::DecodedMode);
    return url;
}
