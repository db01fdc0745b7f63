#pragma once

#include <QtGlobal>

// The suite's closed libraries export their classes from a shared library;
// our stand-in (libzentrihost) does the same so that the plug-in links it
// exactly as it would link the suite's own.
#if defined(ZENTRIHOST_LIBRARY)
#define ZENTRIHOST_EXPORT Q_DECL_EXPORT
#else
#define ZENTRIHOST_EXPORT Q_DECL_IMPORT
#endif
