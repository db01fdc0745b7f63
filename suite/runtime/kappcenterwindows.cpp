#include "kappcenterwindows.h"

#include "platform.h"

namespace KAppCenterWindows {

int sendCopyData(quintptr sender, quintptr dwData, const QByteArray &data)
{
    return Platform::sendToAppCenterWindows(sender, dwData, data);
}

}
