#include "kcloudclientsettings.h"

#include "platform.h"

namespace cloudclient {

QString settingsLocation()
{
    return Platform::cloudClientSettingsLocation();
}

}
