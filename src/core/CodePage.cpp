#include "core/CodePage.h"

#include <QByteArray>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstddef>

#include <iconv.h>

namespace {

constexpr char kCodePage[] = "CP949";

// One conversion descriptor per call: an iconv_t keeps shift state and must
// not be shared between threads, and opening one costs little after the
// first time (glibc caches the loaded tables).
class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter()
    {
        if (valid())
            iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // Converts as much as it can. Returns false with errno set (EILSEQ or
    // EINVAL) when it stops at a sequence it cannot convert; `in` then points
    // at that sequence. Output is appended to `out`.
    bool convert(const char*& in, std::size_t& inLeft, std::string& out)
    {
        std::array<char, 1024> chunk;
        while (inLeft > 0) {
            char* src = const_cast<char*>(in);
            char* dst = chunk.data();
            std::size_t dstLeft = chunk.size();
            const std::size_t rc = iconv(cd_, &src, &inLeft, &dst, &dstLeft);
            const int error = errno;
            in = src;
            out.append(chunk.data(), std::size_t(dst - chunk.data()));
            if (rc == std::size_t(-1) && error != E2BIG) {
                errno = error;
                return false;
            }
        }
        return true;
    }

private:
    iconv_t cd_;
};

// Bytes that may start (and, above ASCII, end) a double-byte character.
bool isDoubleBytePart(unsigned char c) { return c >= 0x81 && c <= 0xFE; }

// Without the iconv table only ASCII can be trusted; anything else is marked.
QString asciiOnly(std::string_view bytes)
{
    QString text;
    text.reserve(qsizetype(bytes.size()));
    for (const char c : bytes) {
        const bool ascii = static_cast<unsigned char>(c) < 0x80;
        text += ascii ? QChar(QLatin1Char(c)) : QChar(QChar::ReplacementCharacter);
    }
    return text;
}

// Length of the UTF-8 sequence that starts with `lead` (1 for a stray byte).
std::size_t utf8Length(unsigned char lead)
{
    if (lead >= 0xF0)
        return 4;
    if (lead >= 0xE0)
        return 3;
    if (lead >= 0xC0)
        return 2;
    return 1;
}

} // namespace

QString fromCodePage(std::string_view bytes)
{
    Converter converter("UTF-8", kCodePage);
    if (!converter.valid())
        return asciiOnly(bytes);

    std::string utf8;
    utf8.reserve(bytes.size() * 3 / 2);
    const char* in = bytes.data();
    std::size_t inLeft = bytes.size();
    while (!converter.convert(in, inLeft, utf8)) {
        // An unassigned double-byte pair counts as one bad character. When the
        // second byte is ASCII it stands on its own, so a line break after a
        // broken lead byte survives.
        const auto* at = reinterpret_cast<const unsigned char*>(in);
        std::size_t skip = 1;
        if (errno == EILSEQ && inLeft >= 2 && isDoubleBytePart(at[0]) && isDoubleBytePart(at[1]))
            skip = 2;
        utf8 += "\xEF\xBF\xBD"; // U+FFFD
        in += skip;
        inLeft -= skip;
    }
    return QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
}

std::string toCodePage(const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    Converter converter(kCodePage, "UTF-8");
    if (!converter.valid()) {
        std::string ascii;
        for (const QChar c : text)
            ascii += c.unicode() < 0x80 ? char(c.unicode()) : '?';
        return ascii;
    }

    std::string result;
    result.reserve(std::size_t(utf8.size()));
    const char* in = utf8.constData();
    std::size_t inLeft = std::size_t(utf8.size());
    while (!converter.convert(in, inLeft, result)) {
        const std::size_t skip =
            std::min(inLeft, utf8Length(static_cast<unsigned char>(*in)));
        result += '?';
        in += skip;
        inLeft -= skip;
    }
    return result;
}

QString fromCodePageLines(std::string_view bytes)
{
    QString text = fromCodePage(bytes);
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}
