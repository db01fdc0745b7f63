#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Runs a program to its end and measures it: wall time from the start to the
// reaped exit, the processor time of the child (user and system) and its
// peak resident memory. Its output is kept, or thrown away unread.
class ChildRun
{
public:
    enum Output { Discard, Keep };

    bool run(const QString &program, const QStringList &arguments, Output output);

    double wallMs() const { return m_wallMs; }
    double cpuMs() const { return m_cpuMs; }
    qint64 peakRssKb() const { return m_peakRssKb; }
    QByteArray output() const { return m_output; }
    QString error() const { return m_error; }

private:
    double m_wallMs = 0;
    double m_cpuMs = 0;
    qint64 m_peakRssKb = 0;
    QByteArray m_output;
    QString m_error;
};
