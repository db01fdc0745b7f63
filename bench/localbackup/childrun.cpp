#include "childrun.h"

#include <QFile>
#include <QVector>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

double elapsedMs(const timespec &from, const timespec &to)
{
    return double(to.tv_sec - from.tv_sec) * 1e3 + double(to.tv_nsec - from.tv_nsec) / 1e6;
}

double toMs(const timeval &time)
{
    return double(time.tv_sec) * 1e3 + double(time.tv_usec) / 1e3;
}

} // namespace

bool ChildRun::run(const QString &program, const QStringList &arguments, Output output)
{
    m_output.clear();
    QVector<QByteArray> words{QFile::encodeName(program)};
    for (const QString &argument : arguments)
        words.append(argument.toLocal8Bit());
    QVector<char *> argv;
    for (QByteArray &word : words)
        argv.append(word.data());
    argv.append(nullptr);

    int pipeFds[2] = {-1, -1};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (output == Keep) {
        if (::pipe(pipeFds) != 0) {
            m_error = QStringLiteral("pipe: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
            return false;
        }
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
        posix_spawn_file_actions_addclose(&actions, pipeFds[1]);
    } else {
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    }

    timespec started, ended;
    clock_gettime(CLOCK_MONOTONIC, &started);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv.first(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (output == Keep)
        ::close(pipeFds[1]);
    if (spawned != 0) {
        if (output == Keep)
            ::close(pipeFds[0]);
        m_error = QStringLiteral("cannot start %1: %2").arg(program, QString::fromLocal8Bit(std::strerror(spawned)));
        return false;
    }
    if (output == Keep) {
        char buffer[65536];
        ssize_t got;
        while ((got = ::read(pipeFds[0], buffer, sizeof buffer)) > 0 || (got < 0 && errno == EINTR)) {
            if (got > 0)
                m_output.append(buffer, int(got));
        }
        ::close(pipeFds[0]);
    }
    int status = 0;
    rusage usage{};
    while (::wait4(pid, &status, 0, &usage) < 0) {
        if (errno != EINTR) {
            m_error = QStringLiteral("wait4: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
            return false;
        }
    }
    clock_gettime(CLOCK_MONOTONIC, &ended);
    m_wallMs = elapsedMs(started, ended);
    m_cpuMs = toMs(usage.ru_utime) + toMs(usage.ru_stime);
    m_peakRssKb = usage.ru_maxrss;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        m_error = QStringLiteral("%1 failed (status %2)").arg(program).arg(status);
        return false;
    }
    return true;
}
