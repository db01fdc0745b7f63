// The page method that opens the native "Local backup settings" window.
#include "arkivoapi.h"

#include "api/apiconventions_p.h"
#include "plugin/arkivoapplication.h"
#include "settings/klocalbackupsettingsdlg.h"

void arkivoAPI::showBackupSettings(KxWebViewJSContext &context)
{
    const Arkivo::MethodLog log("showBackupSettings");
    const int code = arkivoApplication::instance().showSettingsDialog();
    // The page reloads its list from the new folder when the location changed.
    context.result()["driveChanged"] = code == KLocalBackupSettingsDlg::LocationChangedResult;
    context.result()["result"] = true;
}
