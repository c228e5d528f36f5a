#pragma once

#include <QByteArray>
#include <QtGlobal>

// Sets an environment variable while it lives and then puts back what was there (or removes
// it). Tests point XDG_DATA_HOME at a temporary folder with it, so no real trash is touched.
class TScopedEnv {
public:
    TScopedEnv(const char* AName, const QByteArray& AValue)
        : FName(AName), FWasSet(qEnvironmentVariableIsSet(AName)), FOld(qgetenv(AName)) {
        qputenv(AName, AValue);
    }
    ~TScopedEnv() {
        if (FWasSet)
            qputenv(FName, FOld);
        else
            qunsetenv(FName);
    }
    TScopedEnv(const TScopedEnv&) = delete;
    TScopedEnv& operator=(const TScopedEnv&) = delete;

private:
    const char* FName;
    bool FWasSet;
    QByteArray FOld;
};
