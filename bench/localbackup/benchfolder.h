#pragma once

#include <QString>

// A suite home whose backup folder holds `copies` backup copies as a heavy
// user's would: many documents edited on many days, a mix of types, a few
// non-ASCII names, about 5% of the copies recorded as sync conflicts, and
// about 10% more files that are not backup copies (lock files, temporary
// files, names off the scheme). Made once per size and reused.
class BenchFolder
{
public:
    BenchFolder(const QString &workDir, int copies);

    // Makes the home unless a complete one of this size is there already.
    bool prepare(QString *error);

    QString homePath() const { return m_home; }
    QString backupPath() const;
    int copies() const { return m_copies; }

private:
    bool generate(QString *error) const;

    QString m_home;
    int m_copies;
};
