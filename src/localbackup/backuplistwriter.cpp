#include "backuplistwriter.h"

#include <QLocale>

#include <cstring>

namespace {

// Holds the JSON text in a small buffer and hands it on in chunks.
class ChunkedOutput
{
public:
    virtual ~ChunkedOutput() = default;

    void put(char c)
    {
        if (m_size == Capacity)
            drain(false);
        m_buffer[m_size++] = c;
    }
    void put(const char *data, int size)
    {
        while (size > 0) {
            if (m_size == Capacity)
                drain(false);
            const int chunk = qMin(size, Capacity - m_size);
            std::memcpy(m_buffer + m_size, data, size_t(chunk));
            m_size += chunk;
            data += chunk;
            size -= chunk;
        }
    }
    template<int N>
    void put(const char (&literal)[N])
    {
        put(literal, N - 1);
    }
    void putText(const char *text) { put(text, int(std::strlen(text))); }
    // A text of only ASCII characters that need no escape (formatted numbers).
    void putPlain(const QString &text)
    {
        for (const QChar c : text)
            put(char(c.unicode()));
    }
    // A JSON string with the escapes of QJsonDocument: the short forms, \u00XX
    // for other controls, UTF-8 otherwise, and \uXXXX for unpaired surrogates.
    void putString(const QString &text)
    {
        static const char hex[] = "0123456789abcdef";
        put('"');
        const ushort *src = text.utf16();
        const ushort *const end = src + text.size();
        while (src != end) {
            if (Capacity - m_size < 6)
                drain(false);
            char *out = m_buffer + m_size;
            const ushort u = *src++;
            if (u < 0x80) {
                if (u >= 0x20 && u != '"' && u != '\\') {
                    *out++ = char(u);
                } else {
                    *out++ = '\\';
                    switch (u) {
                    case '"': *out++ = '"'; break;
                    case '\\': *out++ = '\\'; break;
                    case '\b': *out++ = 'b'; break;
                    case '\f': *out++ = 'f'; break;
                    case '\n': *out++ = 'n'; break;
                    case '\r': *out++ = 'r'; break;
                    case '\t': *out++ = 't'; break;
                    default:
                        *out++ = 'u';
                        *out++ = '0';
                        *out++ = '0';
                        *out++ = hex[u >> 4];
                        *out++ = hex[u & 0xf];
                    }
                }
            } else if (u < 0x800) {
                *out++ = char(0xc0 | (u >> 6));
                *out++ = char(0x80 | (u & 0x3f));
            } else if (!QChar::isSurrogate(u)) {
                *out++ = char(0xe0 | (u >> 12));
                *out++ = char(0x80 | ((u >> 6) & 0x3f));
                *out++ = char(0x80 | (u & 0x3f));
            } else if (QChar::isHighSurrogate(u) && src != end && QChar::isLowSurrogate(*src)) {
                const uint ucs4 = QChar::surrogateToUcs4(u, *src++);
                *out++ = char(0xf0 | (ucs4 >> 18));
                *out++ = char(0x80 | ((ucs4 >> 12) & 0x3f));
                *out++ = char(0x80 | ((ucs4 >> 6) & 0x3f));
                *out++ = char(0x80 | (ucs4 & 0x3f));
            } else {
                *out++ = '\\';
                *out++ = 'u';
                *out++ = hex[u >> 12];
                *out++ = hex[(u >> 8) & 0xf];
                *out++ = hex[(u >> 4) & 0xf];
                *out++ = hex[u & 0xf];
            }
            m_size = int(out - m_buffer);
        }
        put('"');
    }

    void finish() { drain(true); }

protected:
    // Takes bytes from the front of `data`; answers how many it took. With
    // `final` it must take all.
    virtual int consume(const char *data, int size, bool final) = 0;

private:
    void drain(bool final)
    {
        const int used = consume(m_buffer, m_size, final);
        std::memmove(m_buffer, m_buffer + used, size_t(m_size - used));
        m_size -= used;
    }

    // A multiple of 3, so that Base64 chunks need no carry-over in the common case.
    static constexpr int Capacity = 3 * 16 * 1024;
    char m_buffer[Capacity];
    int m_size = 0;
};

class JsonOutput final : public ChunkedOutput
{
public:
    explicit JsonOutput(int reserve) { m_json.reserve(reserve); }
    QByteArray take()
    {
        finish();
        return std::move(m_json);
    }

protected:
    int consume(const char *data, int size, bool) override
    {
        m_json.append(data, size);
        return size;
    }

private:
    QByteArray m_json;
};

class Base64Output final : public ChunkedOutput
{
public:
    explicit Base64Output(qint64 expectedBytes)
    {
        m_text.resize(int(qMin<qint64>((expectedBytes + 2) / 3 * 4, 1 << 28)));
    }
    QString take()
    {
        finish();
        m_text.resize(m_length);
        return std::move(m_text);
    }

protected:
    int consume(const char *data, int size, bool final) override
    {
        static const char alphabet[] =
                "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        const int whole = size - size % 3;
        const int taken = final ? size : whole;
        const int needed = m_length + (taken + 2) / 3 * 4;
        if (needed > m_text.size())
            m_text.resize(qMax(needed, m_text.size() + m_text.size() / 2));
        ushort *out = reinterpret_cast<ushort *>(m_text.data()) + m_length;
        const auto *in = reinterpret_cast<const uchar *>(data);
        for (int i = 0; i < whole; i += 3) {
            const uint triple = (uint(in[i]) << 16) | (uint(in[i + 1]) << 8) | in[i + 2];
            *out++ = ushort(alphabet[triple >> 18]);
            *out++ = ushort(alphabet[(triple >> 12) & 0x3f]);
            *out++ = ushort(alphabet[(triple >> 6) & 0x3f]);
            *out++ = ushort(alphabet[triple & 0x3f]);
        }
        if (final && whole < size) {
            const uint triple = (uint(in[whole]) << 16)
                    | (whole + 1 < size ? uint(in[whole + 1]) << 8 : 0u);
            *out++ = ushort(alphabet[triple >> 18]);
            *out++ = ushort(alphabet[(triple >> 12) & 0x3f]);
            *out++ = whole + 1 < size ? ushort(alphabet[(triple >> 6) & 0x3f]) : ushort('=');
            *out++ = ushort('=');
        }
        m_length = int(out - reinterpret_cast<const ushort *>(m_text.constData()));
        return taken;
    }

private:
    QString m_text;
    int m_length = 0;
};

// Dates and times as QDate/QTime::toString format them. That uses the
// system locale's digits; with plain digits they are written here directly.
class TimeTexts
{
public:
    TimeTexts()
        : m_plainDigits(QLocale::system().zeroDigit() == QLatin1Char('0'))
    {
    }

    void putDate(ChunkedOutput &out, const QDate &date) const
    {
        int year = 0, month = 0, day = 0;
        if (m_plainDigits && date.isValid()) {
            date.getDate(&year, &month, &day);
            if (year >= 1 && year <= 9999) {
                const char text[] = {digit(year / 1000), digit(year / 100), digit(year / 10),
                                     digit(year), '/', digit(month / 10), digit(month), '/',
                                     digit(day / 10), digit(day)};
                out.put('"');
                out.put(text, int(sizeof text));
                out.put('"');
                return;
            }
        }
        out.putString(date.toString(QStringLiteral("yyyy/MM/dd")));
    }

    void putTime(ChunkedOutput &out, const QTime &time) const
    {
        if (m_plainDigits && time.isValid()) {
            const int hour = time.hour(), minute = time.minute();
            const char text[] = {'"', digit(hour / 10), digit(hour), ':', digit(minute / 10),
                                 digit(minute), '"'};
            out.put(text, int(sizeof text));
            return;
        }
        out.putString(time.toString(QStringLiteral("HH:mm")));
    }

private:
    static char digit(int value) { return char('0' + value % 10); }

    bool m_plainDigits;
};

void putSize(ChunkedOutput &out, qint64 bytes)
{
    if (bytes >= 1048576) {
        out.put('"');
        out.putPlain(BackupListWriter::sizeText(bytes));
        out.put('"');
        return;
    }
    char text[16];
    int pos = int(sizeof text);
    text[--pos] = '"';
    text[--pos] = 'B';
    text[--pos] = 'K';
    text[--pos] = ' ';
    qint64 kilobytes = bytes > 0 ? bytes / 1024 : 0;
    do {
        text[--pos] = char('0' + kilobytes % 10);
        kilobytes /= 10;
    } while (kilobytes);
    text[--pos] = '"';
    out.put(text + pos, int(sizeof text) - pos);
}

void writeList(ChunkedOutput &out, const QList<BackupGroupInfo *> &groups)
{
    const TimeTexts timeTexts;
    out.put("{\n    \"backupList\": [\n");
    for (int g = 0; g < groups.size(); ++g) {
        const BackupGroupInfo &group = *groups.at(g);
        out.put("        {\n            \"backupFiles\": [\n");
        for (int f = 0; f < group.backupFiles.size(); ++f) {
            const BackupFileInfo &file = group.backupFiles.at(f);
            out.put("                {\n                    \"conflictTime\": ");
            if (file.conflictTime.isValid())
                out.putString(file.conflictTime.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
            else
                out.put("\"\"");
            out.put(",\n                    \"filePath\": ");
            out.putString(file.filePath);
            out.put(",\n                    \"fileSize\": ");
            putSize(out, file.fileSize);
            out.put(",\n                    \"saveTime\": ");
            timeTexts.putTime(out, file.saveTime);
            out.putText(f + 1 < group.backupFiles.size() ? "\n                },\n"
                                                     : "\n                }\n");
        }
        out.put("            ],\n            \"groupName\": ");
        out.putString(group.groupName);
        out.put(",\n            \"groupType\": \"");
        out.putPlain(BackupListWriter::typeName(group.groupType));
        out.putText(group.isConflict ? "\",\n            \"isConflict\": true,\n            \"saveDate\": "
                                 : "\",\n            \"isConflict\": false,\n            \"saveDate\": ");
        timeTexts.putDate(out, group.saveDate);
        out.putText(g + 1 < groups.size() ? "\n        },\n" : "\n        }\n");
    }
    out.put("    ]\n}\n");
}

// Close to the exact length for names and paths in ASCII; a little short otherwise.
qint64 expectedJsonSize(const QList<BackupGroupInfo *> &groups)
{
    qint64 size = 32;
    for (const BackupGroupInfo *group : groups) {
        size += 200 + group->groupName.size();
        for (const BackupFileInfo &file : group->backupFiles)
            size += 200 + file.filePath.size();
    }
    return size;
}

} // namespace

QByteArray BackupListWriter::toJson(const QList<BackupGroupInfo *> &groups)
{
    JsonOutput out(int(qMin<qint64>(expectedJsonSize(groups), 1 << 28)));
    writeList(out, groups);
    return out.take();
}

QString BackupListWriter::toBase64(const QList<BackupGroupInfo *> &groups)
{
    Base64Output out(expectedJsonSize(groups));
    writeList(out, groups);
    return out.take();
}

QString BackupListWriter::sizeText(qint64 bytes)
{
    if (bytes <= 0)
        return QStringLiteral("0 KB");
    if (bytes < 1048576)
        return QStringLiteral("%1 KB").arg(bytes / 1024);
    const double megabytes = double(float(bytes)) * (1.0 / 1024) * (1.0 / 1024);
    return QStringLiteral("%1 MB").arg(megabytes, 0, 'f', 2);
}

QString BackupListWriter::typeName(BackupDocType type)
{
    switch (type) {
    case DocTypeDoc: return QStringLiteral("doc");
    case DocTypePpt: return QStringLiteral("ppt");
    case DocTypeXls: return QStringLiteral("xls");
    case DocTypePdf: return QStringLiteral("pdf");
    case DocTypeUnknown: break;
    }
    return QStringLiteral("unknown");
}
