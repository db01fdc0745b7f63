#pragma once

#include <QString>

class QThread;

// One app-center window of the suite, as zentri-host runs it: a local socket
// endpoint registered under the suite home that appends every announcement
// it receives to <home>/logs/appcenter.jsonl as one JSON object
// {"dwData": n, "sender": n, "hash": {...}}. It serves on a thread of its
// own, so that a sender on the GUI thread, which waits for the
// acknowledgement, is answered.
class AppCenterEndpoint
{
public:
    AppCenterEndpoint();
    ~AppCenterEndpoint();
    AppCenterEndpoint(const AppCenterEndpoint &) = delete;
    AppCenterEndpoint &operator=(const AppCenterEndpoint &) = delete;

    // Registers the endpoint in the current suite home; false with a reason
    // when it cannot listen.
    bool start(QString *error = nullptr);
    void stop();
    bool isListening() const { return m_thread != nullptr; }

    QString endpointPath() const { return m_endpointPath; }
    static QString logPath();

private:
    QThread *m_thread = nullptr;
    QString m_endpointPath;
};
