#include "platform.h"

#include <windows.h>
#include <shellapi.h>

namespace Platform {

bool openRecycleBin()
{
    const HINSTANCE result = ShellExecuteW(nullptr, L"open", L"shell:RecycleBinFolder", nullptr,
                                           nullptr, SW_SHOWNORMAL);
    // ShellExecute reports success with a value above 32.
    return reinterpret_cast<INT_PTR>(result) > 32;
}

}
