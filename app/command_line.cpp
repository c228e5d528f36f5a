#include "app/command_line.h"

#include <QFileInfo>

TAppParams ReadCommandLine(const QStringList& AArguments) {
    TAppParams params;
    for (const QString& raw : AArguments) {
        const QString arg = raw.trimmed();
        if (arg.startsWith(QLatin1Char('-'))) {
            const QString option = arg.mid(1).toLower();
            if (option == QStringLiteral("hide"))
                params.HideAppGUI = true;
            else if (option == QStringLiteral("exit"))
                params.ExitAppWhenDone = true;
        } else if (arg.startsWith(QLatin1Char(':'))) {
            const QString path = arg.mid(1);
            if (QFileInfo(path).isFile())
                params.BeginProjectPath = path;
        }
    }
    return params;
}
