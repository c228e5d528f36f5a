#pragma once

#include <QString>

// A shared library loaded at run time (dlopen on Linux).
class TDynamicLibrary {
public:
    TDynamicLibrary() = default;
    ~TDynamicLibrary();
    TDynamicLibrary(const TDynamicLibrary&) = delete;
    TDynamicLibrary& operator=(const TDynamicLibrary&) = delete;

    // Loads the library by its full path; false (with ErrorString) when it cannot be loaded.
    bool Load(const QString& APath);
    void Unload();
    bool IsLoaded() const { return FHandle != nullptr; }
    // The address of an export, or null.
    void* Symbol(const char* AName) const;
    const QString& ErrorString() const { return FError; }

private:
    void* FHandle = nullptr;
    QString FError;
};
