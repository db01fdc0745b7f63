#include "httprequesthead.h"

#include <QList>
#include <QUrl>

namespace {

bool isTokenChar(char c)
{
    static const QByteArray separators("()<>@,;:\\\"/[]?={} \t");
    return c > 32 && c < 127 && !separators.contains(c);
}

bool isToken(const QByteArray &text)
{
    if (text.isEmpty())
        return false;
    for (char c : text) {
        if (!isTokenChar(c))
            return false;
    }
    return true;
}

bool hasControlCharacters(const QByteArray &text)
{
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if ((u < 32 && c != '\t') || u == 127)
            return true;
    }
    return false;
}

}

HttpRequestHead::Parse HttpRequestHead::parse(const QByteArray &bytes, HttpRequestHead *head)
{
    const int end = bytes.indexOf("\r\n\r\n");
    if (end < 0)
        return bytes.size() > maximumSize ? Parse::TooLarge : Parse::Incomplete;
    if (end + 4 > maximumSize)
        return Parse::TooLarge;

    *head = HttpRequestHead();
    head->size = end + 4;
    const QList<QByteArray> lines = bytes.left(end).split('\n');
    for (const QByteArray &line : lines) {
        if (!line.endsWith('\r') && &line != &lines.last())
            return Parse::Malformed;
    }

    const QByteArray requestLine = lines.first().trimmed();
    const QList<QByteArray> parts = requestLine.split(' ');
    if (parts.size() != 3 || !isToken(parts.at(0)) || !parts.at(1).startsWith('/') || hasControlCharacters(parts.at(1))
        || (parts.at(2) != "HTTP/1.1" && parts.at(2) != "HTTP/1.0"))
        return Parse::Malformed;
    head->method = parts.at(0);
    head->version = parts.at(2);
    const QByteArray &target = parts.at(1);
    const int question = target.indexOf('?');
    head->path = question < 0 ? target : target.left(question);
    head->query = question < 0 ? QByteArray() : target.mid(question + 1);

    for (int i = 1; i < lines.size(); ++i) {
        QByteArray line = lines.at(i);
        if (line.endsWith('\r'))
            line.chop(1);
        const int colon = line.indexOf(':');
        // Folded continuation lines are obsolete and refused.
        if (colon <= 0 || line.startsWith(' ') || line.startsWith('\t'))
            return Parse::Malformed;
        const QByteArray name = line.left(colon).toLower();
        const QByteArray value = line.mid(colon + 1).trimmed();
        if (!isToken(name) || hasControlCharacters(value) || head->fields.contains(name))
            return Parse::Malformed;
        head->fields.insert(name, value);
    }
    return Parse::Complete;
}

bool HttpRequestHead::fieldHasToken(const QByteArray &lowercaseName, const QByteArray &token) const
{
    const QList<QByteArray> items = field(lowercaseName).split(',');
    for (const QByteArray &item : items) {
        if (item.trimmed().toLower() == token.toLower())
            return true;
    }
    return false;
}

bool HttpRequestHead::isWebSocketUpgrade() const
{
    return fieldHasToken("upgrade", "websocket") && fieldHasToken("connection", "upgrade");
}

bool HttpRequestHead::hasBody() const
{
    return fields.contains("transfer-encoding")
           || (fields.contains("content-length") && field("content-length") != "0");
}

QByteArray HttpRequestHead::queryValue(const QByteArray &name) const
{
    const QList<QByteArray> pairs = query.split('&');
    for (const QByteArray &pair : pairs) {
        const int equals = pair.indexOf('=');
        const QByteArray key = equals < 0 ? pair : pair.left(equals);
        if (QByteArray::fromPercentEncoding(key) == name)
            return equals < 0 ? QByteArray() : QByteArray::fromPercentEncoding(pair.mid(equals + 1));
    }
    return QByteArray();
}
