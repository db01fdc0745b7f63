#pragma once

#include "backupinfo.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>

// Writes the page's backup list: the indented JSON document
// {"backupList": [...]} exactly as QJsonDocument::toJson() would lay it out,
// produced in one pass without building a JSON tree (the tree of a large
// catalogue costs several times the listing of the folders).
class BackupListWriter
{
public:
    static QByteArray toJson(const QList<BackupGroupInfo *> &groups);
    // Standard Base64 of toJson(), without the intermediate document. The
    // text is plain ASCII: the bytes are its Latin-1 and its UTF-8 form.
    static QByteArray toBase64(const QList<BackupGroupInfo *> &groups);
    // Standard Base64 of the same list in a compact form, about a fifth of
    // the size: {"folders": [FOLDER...], "groups": [[groupName, groupType,
    // saveDate, isConflict, [[folder, fileName, fileSize, saveTime,
    // conflictTime]...]]...]}, where `folder` is an index into "folders" and
    // a copy's path is that folder, "/" and its name (-1: the name is the
    // whole path). Texts as in the indented list.
    static QByteArray toCompactBase64(const QList<BackupGroupInfo *> &groups);

    // "0 KB" below one byte, whole KB below one MiB, MB with two decimals above.
    static QString sizeText(qint64 bytes);
    static QString typeName(BackupDocType type);
    // One copy as the list writes it ("conflictTime", "filePath", "fileSize",
    // "saveTime"), with its group's "groupName", "groupType", "isConflict"
    // and "saveDate".
    static QJsonObject copyObject(const BackupGroupInfo &group, const BackupFileInfo &file);
};
