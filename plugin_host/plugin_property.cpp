#include "plugin_host/plugin_property.h"

#include "base/exceptions.h"

TPluginProperty::TPluginProperty(QString APropName, TVisualPropType AVisualPropType,
                                 std::uint32_t AReadyServices, QString AShownName, QString AHint,
                                 QString AHelp)
    : FPropName(std::move(APropName)),
      FVisualPropType(AVisualPropType),
      FReadyServices(AReadyServices),
      FShownName(std::move(AShownName)),
      FHint(std::move(AHint)),
      FHelp(std::move(AHelp)) {}

QStringList TPluginPropertyGrid::GetRealValues(QStringList& AValuesList, int ACellsInRow,
                                               bool ARetKeyValStrs) const {
    QStringList result;
    if (ACellsInRow <= 0)
        return result;
    const bool trimmed = FPropGridIgnoreRowsLevel == pgirlAllRowCellsEmptyWhenTrimmed ||
                         FPropGridIgnoreRowsLevel == pgirlRowHasEmptyCellsWhenTrimmed;
    for (qsizetype rowStart = 0; rowStart < AValuesList.size(); rowStart += ACellsInRow) {
        const qsizetype rowEnd = std::min<qsizetype>(rowStart + ACellsInRow, AValuesList.size());
        bool allEmpty = true;
        bool anyEmpty = false;
        for (qsizetype i = rowStart; i < rowEnd; ++i) {
            if (trimmed)
                AValuesList[i] = AValuesList[i].trimmed();
            if (AValuesList[i].isEmpty())
                anyEmpty = true;
            else
                allEmpty = false;
        }
        bool ignored = false;
        switch (FPropGridIgnoreRowsLevel) {
            case pgirlAllRowCellsEmpty:
            case pgirlAllRowCellsEmptyWhenTrimmed:
                ignored = allEmpty;
                break;
            case pgirlRowHasEmptyCells:
            case pgirlRowHasEmptyCellsWhenTrimmed:
                ignored = anyEmpty;
                break;
            default:
                ignored = false;
                break;
        }
        if (ignored)
            continue;
        for (qsizetype i = rowStart; i < rowEnd; ++i)
            result << (ARetKeyValStrs ? QString::number(i) + QLatin1Char('=') + AValuesList[i]
                                      : AValuesList[i]);
    }
    return result;
}

bool IsKnownVisualPropType(int AVisualPropType) {
    return AVisualPropType >= vptErrorOccured && AVisualPropType <= vptCustom;
}

QString VisualPropTypeToStr(int AVisualPropType) {
    switch (AVisualPropType) {
        case vptErrorOccured:
            return QStringLiteral("ErrorOccured");
        case vtpChoiceSingle:
            return QStringLiteral("ChoiceSingle");
        case vtpChoiceMultiple:
            return QStringLiteral("ChoiceMultiple");
        case vptTextBoxes:
            return QStringLiteral("TextBoxes");
        case vptGrid:
            return QStringLiteral("Grid");
        case vptFile:
            return QStringLiteral("File");
        case vptCustom:
            return QStringLiteral("Custom");
        default:
            break;
    }
    throw EqvValueOutOfValidRangeError(
        QStringLiteral("\"inpSLC_VisualPropTypeToStr\" conversion does not seem to fit with "
                       "\"TVisualPropAllTypes\" as expected"));
}
