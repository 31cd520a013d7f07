#include "app/platform.h"

#include <QCoreApplication>
#include <QDir>

#ifdef _WIN32
#include <windows.h>
#include <ole2.h>
#endif

namespace vantrelo {

void setQuietErrorMode() {
#ifdef _WIN32
    SetErrorMode(GetErrorMode() | SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
#endif
}

namespace {
bool g_objectLayer = false;
}

void initialiseObjectLayer() {
    if (g_objectLayer) return;
    g_objectLayer = true;
#ifdef _WIN32
    OleInitialize(nullptr);
#endif
}

void uninitialiseObjectLayer() {
    if (!g_objectLayer) return;
    g_objectLayer = false;
#ifdef _WIN32
    OleUninitialize();
#endif
}

bool enterProgramFolder() {
    // Qt gives the folder as Unicode: no byte of a two-byte character is ever
    // taken for a separator.
    return QDir::setCurrent(QCoreApplication::applicationDirPath());
}

}  // namespace vantrelo
