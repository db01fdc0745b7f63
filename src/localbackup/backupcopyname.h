#pragma once

#include <QDate>
#include <QStringView>
#include <QTime>

// What the name of a backup copy says. The suite names a copy
// <document>.<identifier>.<time stamp>.<extension>: the identifier has 32
// letters or digits, the stamp 14 or 17 digits (yyyyMMddHHmmss[zzz]). With
// only three parts the identifier doubles as the document name.
class BackupCopyName
{
public:
    // False when `fileName` is not the name of a backup copy.
    bool parse(QStringView fileName);

    // The document's own name is always the start of the copy's name.
    int documentNameLength() const { return m_documentNameLength; }
    QDate date() const { return m_date; }
    // To the second; the milliseconds of a 17-digit stamp are not used.
    QTime time() const { return m_time; }

private:
    int m_documentNameLength = 0;
    QDate m_date;
    QTime m_time;
};
