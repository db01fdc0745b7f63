// The page method that brings the plug-in's open window back in front of the
// page, when a person lost it behind other windows.
#include "arkivoapi.h"

#include "api/apiconventions_p.h"

#include <QApplication>
#include <QWidget>

void arkivoAPI::bringWindowToFront(KxWebViewJSContext &context)
{
    const Arkivo::MethodLog log("bringWindowToFront");
    // The plug-in's windows are modal: the settings dialog and, over it, its
    // boxes and pickers, or the file chooser of an upload or a restore. The
    // page's calls still arrive while one runs its own event loop.
    QWidget *window = QApplication::activeModalWidget();
    if (window) {
        if (window->isMinimized())
            window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
        window->raise();
        window->activateWindow();
    }
    context.result()["result"] = window != nullptr;
}
