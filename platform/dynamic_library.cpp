#include "platform/dynamic_library.h"

#include <QFile>

#include <dlfcn.h>

TDynamicLibrary::~TDynamicLibrary() {
    Unload();
}

bool TDynamicLibrary::Load(const QString& APath) {
    Unload();
    // RTLD_LOCAL keeps one plugin's symbols from resolving another's.
    FHandle = ::dlopen(QFile::encodeName(APath).constData(), RTLD_NOW | RTLD_LOCAL);
    if (FHandle == nullptr) {
        const char* error = ::dlerror();
        FError = error != nullptr ? QString::fromLocal8Bit(error) : QStringLiteral("cannot load");
        return false;
    }
    FError.clear();
    return true;
}

void TDynamicLibrary::Unload() {
    if (FHandle != nullptr)
        ::dlclose(FHandle);
    FHandle = nullptr;
}

void* TDynamicLibrary::Symbol(const char* AName) const {
    if (FHandle == nullptr)
        return nullptr;
    return ::dlsym(FHandle, AName);
}
