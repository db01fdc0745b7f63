#include "backupcopyname.h"

namespace {

// The value of a run of digits as QString::toInt reads it: digits of other
// scripts pass QChar::isDigit, but toInt fails on them and gives 0.
int fieldValue(QStringView text, int from, int length)
{
    int value = 0;
    for (int i = from; i < from + length; ++i) {
        const ushort u = text.at(i).unicode();
        if (u < '0' || u > '9')
            return 0;
        value = value * 10 + (u - '0');
    }
    return value;
}

bool isIdentifier(QStringView text)
{
    if (text.size() != 32)
        return false;
    for (const QChar c : text) {
        if (!c.isLetter() && !c.isDigit())
            return false;
    }
    return true;
}

bool isTimeStamp(QStringView text)
{
    if (text.size() != 14 && text.size() != 17)
        return false;
    for (const QChar c : text) {
        if (!c.isDigit())
            return false;
    }
    return true;
}

} // namespace

bool BackupCopyName::parse(QStringView fileName)
{
    // Split from the end: the extension, the stamp and the identifier are the
    // last three parts; whatever comes before, dots included, is the document.
    int dots[3] = {-1, -1, -1};
    int found = 0;
    for (int i = int(fileName.size()) - 1; i >= 0 && found < 3; --i) {
        if (fileName.at(i) == QLatin1Char('.'))
            dots[found++] = i;
    }
    const int extensionDot = dots[0];
    const int stampDot = dots[1];
    const int idDot = dots[2];
    if (extensionDot <= 0 || stampDot < 0)
        return false;

    const int idStart = idDot + 1;
    if (!isIdentifier(fileName.mid(idStart, stampDot - idStart)))
        return false;
    const int stamp = stampDot + 1;
    const QStringView stampText = fileName.mid(stamp, extensionDot - stamp);
    if (!isTimeStamp(stampText))
        return false;
    const QDate date(fieldValue(stampText, 0, 4), fieldValue(stampText, 4, 2), fieldValue(stampText, 6, 2));
    if (!date.isValid())
        return false;
    const QTime time(fieldValue(stampText, 8, 2), fieldValue(stampText, 10, 2), fieldValue(stampText, 12, 2), 0);
    if (!time.isValid())
        return false;

    m_documentNameLength = idDot < 0 ? stampDot : idDot;
    m_date = date;
    m_time = time;
    return true;
}
