#include "backuplistwriter.h"

#include <QLocale>

#include <array>
#include <cstring>

namespace {

constexpr char base64Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// ASCII characters written as they are inside a JSON string.
constexpr std::array<bool, 128> makePlainAscii()
{
    std::array<bool, 128> plain{};
    for (int c = 0x20; c < 0x80; ++c)
        plain[size_t(c)] = c != '"' && c != '\\';
    return plain;
}
constexpr std::array<bool, 128> plainAscii = makePlainAscii();

// The two Base64 characters of every 12-bit group.
struct Base64Pairs
{
    char pair[4096][2];
};
constexpr Base64Pairs makeBase64Pairs()
{
    Base64Pairs pairs{};
    for (int i = 0; i < 4096; ++i) {
        pairs.pair[i][0] = base64Alphabet[i >> 6];
        pairs.pair[i][1] = base64Alphabet[i & 0x3f];
    }
    return pairs;
}
constexpr Base64Pairs base64Pairs = makeBase64Pairs();

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

    // A JSON string with the escapes of QJsonDocument: the short forms, \u00XX
    // for other controls, UTF-8 otherwise, and \uXXXX for unpaired surrogates.
    void putString(const QString &text)
    {
        put('"');
        const ushort *src = text.utf16();
        const ushort *const end = src + text.size();
        while (src != end) {
            // No unit takes more than 6 bytes, so a piece that fits in the
            // worst case needs no checks inside. A surrogate pair may take the
            // unit after the piece along: 4 bytes for 2 units still fit.
            int room = (Capacity - m_size) / MaxBytesPerUnit;
            if (room == 0) {
                drain(false);
                room = (Capacity - m_size) / MaxBytesPerUnit;
            }
            const ushort *const pieceEnd = src + qMin<qptrdiff>(room, end - src);
            char *out = m_buffer + m_size;
            while (src < pieceEnd) {
                const ushort u = *src++;
                if (u < 0x80 && plainAscii[u]) {
                    *out++ = char(u);
                    continue;
                }
                out = putEscaped(out, u, src, end);
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
    static constexpr int MaxBytesPerUnit = 6;

    static char *putEscaped(char *out, ushort u, const ushort *&src, const ushort *end)
    {
        static const char hex[] = "0123456789abcdef";
        if (u < 0x80) {
            *out++ = '\\';
            switch (u) {
            case '"':
                *out++ = '"';
                break;
            case '\\':
                *out++ = '\\';
                break;
            case '\b':
                *out++ = 'b';
                break;
            case '\f':
                *out++ = 'f';
                break;
            case '\n':
                *out++ = 'n';
                break;
            case '\r':
                *out++ = 'r';
                break;
            case '\t':
                *out++ = 't';
                break;
            default:
                *out++ = 'u';
                *out++ = '0';
                *out++ = '0';
                *out++ = hex[u >> 4];
                *out++ = hex[u & 0xf];
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
        return out;
    }

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
    explicit Base64Output(qint64 expectedBytes) { grow(int(qMin<qint64>((expectedBytes + 2) / 3 * 4, 1 << 28))); }
    QByteArray take()
    {
        finish();
        m_text.resize(m_length);
        return std::move(m_text);
    }

protected:
    int consume(const char *data, int size, bool final) override
    {
        const int whole = size - size % 3;
        const int taken = final ? size : whole;
        const int needed = m_length + (taken + 2) / 3 * 4;
        // Large blocks grow in place (the allocator remaps them), so the
        // estimate may fall short without costing a copy.
        if (needed > m_text.size())
            grow(qMax(needed, m_text.size() + m_text.size() / 4));
        char *out = m_text.data() + m_length;
        const auto *in = reinterpret_cast<const uchar *>(data);
        for (int i = 0; i < whole; i += 3) {
            const uint triple = (uint(in[i]) << 16) | (uint(in[i + 1]) << 8) | in[i + 2];
            std::memcpy(out, base64Pairs.pair[triple >> 12], 2);
            std::memcpy(out + 2, base64Pairs.pair[triple & 0xfff], 2);
            out += 4;
        }
        if (final && whole < size) {
            const uint triple = (uint(in[whole]) << 16) | (whole + 1 < size ? uint(in[whole + 1]) << 8 : 0u);
            *out++ = base64Alphabet[triple >> 18];
            *out++ = base64Alphabet[(triple >> 12) & 0x3f];
            *out++ = whole + 1 < size ? base64Alphabet[(triple >> 6) & 0x3f] : '=';
            *out++ = '=';
        }
        m_length = int(out - m_text.constData());
        return taken;
    }

private:
    void grow(int size) { m_text.resize(size); }

    QByteArray m_text;
    int m_length = 0;
};

// Dates and times as QDate/QTime::toString format them. That uses the
// system locale's digits; with plain digits they are written here directly.
class TimeTexts
{
public:
    TimeTexts()
        : m_plainDigits(QLocale::system().zeroDigit() == QLatin1Char('0'))
    {}

    void putDate(ChunkedOutput &out, const QDate &date) const
    {
        int year = 0, month = 0, day = 0;
        if (m_plainDigits && date.isValid()) {
            date.getDate(&year, &month, &day);
            if (year >= 1 && year <= 9999) {
                const char text[] = {'"',
                                     digit(year / 1000),
                                     digit(year / 100),
                                     digit(year / 10),
                                     digit(year),
                                     '/',
                                     digit(month / 10),
                                     digit(month),
                                     '/',
                                     digit(day / 10),
                                     digit(day),
                                     '"'};
                out.put(text, int(sizeof text));
                return;
            }
        }
        out.putString(date.toString(QStringLiteral("yyyy/MM/dd")));
    }

    void putTime(ChunkedOutput &out, const QTime &time) const
    {
        if (m_plainDigits && time.isValid()) {
            const int hour = time.hour(), minute = time.minute();
            const char text[] = {'"', digit(hour / 10), digit(hour), ':', digit(minute / 10), digit(minute), '"'};
            out.put(text, int(sizeof text));
            return;
        }
        out.putString(time.toString(QStringLiteral("HH:mm")));
    }

private:
    static char digit(int value) { return char('0' + value % 10); }

    bool m_plainDigits;
};

// Writes the digits of `value` so that they end just before `end`; answers
// where they start.
char *putDigitsBefore(char *end, quint64 value)
{
    do {
        *--end = char('0' + value % 10);
        value /= 10;
    } while (value);
    return end;
}

// The size text into `buffer` (at least 32 bytes); answers its length. Above
// one MiB the value is the single-precision float of the size divided by 2^20
// (exact in binary), written with two decimals rounded half up, as
// QString::arg(double, 0, 'f', 2) writes it.
int formatSize(qint64 bytes, char *buffer)
{
    char *const end = buffer + 32;
    char *start;
    if (bytes < 1048576) {
        std::memcpy(end - 3, " KB", 3);
        start = putDigitsBefore(end - 3, quint64(bytes > 0 ? bytes / 1024 : 0));
    } else {
        // A float of a 64-bit integer is an integer below 2^64.
        const quint64 value = quint64(float(bytes));
        constexpr quint64 mask = (quint64(1) << 20) - 1;
        quint64 whole = value >> 20;
        const quint64 scaled = (value & mask) * 100;
        quint64 cents = scaled >> 20;
        if (((scaled & mask) << 1) >= (mask + 1))
            ++cents;
        if (cents == 100) {
            ++whole;
            cents = 0;
        }
        std::memcpy(end - 6, ".00 MB", 6);
        end[-5] = char('0' + cents / 10);
        end[-4] = char('0' + cents % 10);
        start = putDigitsBefore(end - 6, whole);
    }
    const int length = int(end - start);
    std::memmove(buffer, start, size_t(length));
    return length;
}

void putSize(ChunkedOutput &out, qint64 bytes)
{
    char text[34];
    text[0] = '"';
    const int length = formatSize(bytes, text + 1);
    text[length + 1] = '"';
    out.put(text, length + 2);
}

const char *typeText(BackupDocType type)
{
    switch (type) {
    case DocTypeDoc:
        return "doc";
    case DocTypePpt:
        return "ppt";
    case DocTypeXls:
        return "xls";
    case DocTypePdf:
        return "pdf";
    case DocTypeUnknown:
        break;
    }
    return "unknown";
}

void putConflictTime(ChunkedOutput &out, const BackupFileInfo &file)
{
    if (file.conflictTime.isValid())
        out.putString(file.conflictTime.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    else
        out.put("\"\"");
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
            putConflictTime(out, file);
            out.put(",\n                    \"filePath\": ");
            out.putString(file.filePath);
            out.put(",\n                    \"fileSize\": ");
            putSize(out, file.fileSize);
            out.put(",\n                    \"saveTime\": ");
            timeTexts.putTime(out, file.saveTime);
            if (f + 1 < group.backupFiles.size())
                out.put("\n                },\n");
            else
                out.put("\n                }\n");
        }
        out.put("            ],\n            \"groupName\": ");
        out.putString(group.groupName);
        out.put(",\n            \"groupType\": \"");
        out.putText(typeText(group.groupType));
        if (group.isConflict)
            out.put("\",\n            \"isConflict\": true,\n            \"saveDate\": ");
        else
            out.put("\",\n            \"isConflict\": false,\n            \"saveDate\": ");
        timeTexts.putDate(out, group.saveDate);
        if (g + 1 < groups.size())
            out.put("\n        },\n");
        else
            out.put("\n        }\n");
    }
    out.put("    ]\n}\n");
}

// The folders of the copies' paths, numbered in the order first met; nearly
// every copy is in the folder of the one before.
class FolderNumbers
{
public:
    int numberOf(QStringView folder)
    {
        if (m_last >= 0 && QStringView(m_folders.at(m_last)) == folder)
            return m_last;
        m_last = int(m_folders.indexOf(folder.toString()));
        if (m_last < 0) {
            m_last = int(m_folders.size());
            m_folders.append(folder.toString());
        }
        return m_last;
    }
    const QStringList &folders() const { return m_folders; }

private:
    QStringList m_folders;
    int m_last = -1;
};

void writeCompactList(ChunkedOutput &out, const QList<BackupGroupInfo *> &groups)
{
    const TimeTexts timeTexts;
    FolderNumbers numbers;
    // The folders are known only once the copies are written: they come
    // last in the text, which is no matter to a JSON reader.
    out.put("{\"groups\":[");
    for (int g = 0; g < groups.size(); ++g) {
        const BackupGroupInfo &group = *groups.at(g);
        if (g > 0)
            out.put(',');
        out.put('[');
        out.putString(group.groupName);
        out.put(",\"");
        out.putText(typeText(group.groupType));
        out.put("\",");
        timeTexts.putDate(out, group.saveDate);
        if (group.isConflict)
            out.put(",true,[");
        else
            out.put(",false,[");
        for (int f = 0; f < group.backupFiles.size(); ++f) {
            const BackupFileInfo &file = group.backupFiles.at(f);
            const int slash = int(file.filePath.lastIndexOf(QLatin1Char('/')));
            char number[24];
            const int folder = slash < 0 ? -1 : numbers.numberOf(QStringView(file.filePath).left(slash));
            char *const numberEnd = number + sizeof number;
            char *start = putDigitsBefore(numberEnd, quint64(folder < 0 ? 1 : folder));
            if (folder < 0)
                *--start = '-';
            out.put(f > 0 ? ",[" : "[", f > 0 ? 2 : 1);
            out.put(start, int(numberEnd - start));
            out.put(',');
            out.putString(slash < 0 ? file.filePath : file.filePath.mid(slash + 1));
            out.put(',');
            putSize(out, file.fileSize);
            out.put(',');
            timeTexts.putTime(out, file.saveTime);
            out.put(',');
            putConflictTime(out, file);
            out.put(']');
        }
        out.put("]]");
    }
    out.put("],\"folders\":[");
    for (int i = 0; i < numbers.folders().size(); ++i) {
        if (i > 0)
            out.put(',');
        out.putString(numbers.folders().at(i));
    }
    out.put("]}");
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

QByteArray BackupListWriter::toBase64(const QList<BackupGroupInfo *> &groups)
{
    Base64Output out(expectedJsonSize(groups));
    writeList(out, groups);
    return out.take();
}

QByteArray BackupListWriter::toCompactBase64(const QList<BackupGroupInfo *> &groups)
{
    // The indented list spends about 200 bytes a copy on its layout.
    Base64Output out(expectedJsonSize(groups) / 3);
    writeCompactList(out, groups);
    return out.take();
}

QString BackupListWriter::sizeText(qint64 bytes)
{
    char text[32];
    return QString::fromLatin1(text, formatSize(bytes, text));
}

QString BackupListWriter::typeName(BackupDocType type)
{
    return QLatin1String(typeText(type));
}

QJsonObject BackupListWriter::copyObject(const BackupGroupInfo &group, const BackupFileInfo &file)
{
    return QJsonObject{
        {QStringLiteral("conflictTime"),
         file.conflictTime.isValid() ? file.conflictTime.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : QString()},
        {QStringLiteral("filePath"), file.filePath},
        {QStringLiteral("fileSize"), sizeText(file.fileSize)},
        {QStringLiteral("saveTime"), file.saveTime.toString(QStringLiteral("HH:mm"))},
        {QStringLiteral("groupName"), group.groupName},
        {QStringLiteral("groupType"), typeName(group.groupType)},
        {QStringLiteral("isConflict"), group.isConflict},
        {QStringLiteral("saveDate"), group.saveDate.toString(QStringLiteral("yyyy/MM/dd"))},
    };
}
