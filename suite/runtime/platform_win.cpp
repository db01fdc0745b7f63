#include "platform.h"

#include <QDir>

#include <windows.h>
#include <shellapi.h>

namespace Platform {

bool openRecycleBin()
{
    const HINSTANCE result
        = ShellExecuteW(nullptr, L"open", L"shell:RecycleBinFolder", nullptr, nullptr, SW_SHOWNORMAL);
    // ShellExecute reports success with a value above 32.
    return reinterpret_cast<INT_PTR>(result) > 32;
}

int sendToAppCenterWindows(quintptr sender, quintptr dwData, const QByteArray &data)
{
    COPYDATASTRUCT copyData;
    copyData.dwData = static_cast<ULONG_PTR>(dwData);
    copyData.cbData = static_cast<DWORD>(data.size());
    copyData.lpData = const_cast<char *>(data.constData());
    int reached = 0;
    HWND window = nullptr;
    // The app-center windows are message-only windows of one class and title;
    // each search starts after the previous match.
    while ((window
            = FindWindowExW(HWND_MESSAGE, window, L"{317997EE-152D-4B70-8116-5B6CE6C02A0C}", L"__KAPPCENTER_WINDOW__"))
           != nullptr) {
        SendMessageW(window, WM_COPYDATA, static_cast<WPARAM>(sender), reinterpret_cast<LPARAM>(&copyData));
        ++reached;
    }
    return reached;
}

QString cloudClientSettingsLocation()
{
    return QStringLiteral("HKEY_CURRENT_USER\\SOFTWARE\\Ostrel\\ZentriCloud");
}

bool processExists(qint64 pid)
{
    if (pid <= 0 || pid > qint64(MAXDWORD))
        return false;
    const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
    if (!process) {
        // Access denied: it runs, under another user.
        return GetLastError() == ERROR_ACCESS_DENIED;
    }
    DWORD exitCode = 0;
    const bool running = GetExitCodeProcess(process, &exitCode) && exitCode == STILL_ACTIVE;
    CloseHandle(process);
    return running;
}

bool renameNoReplace(const QString &from, const QString &to)
{
    // Without MOVEFILE_REPLACE_EXISTING the move fails when `to` exists.
    const std::wstring source = QDir::toNativeSeparators(from).toStdWString();
    const std::wstring target = QDir::toNativeSeparators(to).toStdWString();
    return MoveFileExW(source.c_str(), target.c_str(), 0) != 0;
}

}
