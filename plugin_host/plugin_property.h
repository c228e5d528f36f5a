#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>

#include "plugin_host/plovane_plugin.h"

// A named, typed piece of configuration a plugin declared. Its declaration data (choices,
// text boxes, grid columns and defaults, default document) is appended by the pre-edit
// callbacks in the stream field encodings.
class TPluginProperty {
public:
    TPluginProperty(QString APropName, TVisualPropType AVisualPropType,
                    std::uint32_t AReadyServices, QString AShownName, QString AHint, QString AHelp);
    virtual ~TPluginProperty() = default;

    QString FPropName;
    TVisualPropType FVisualPropType;
    QByteArray FInitStreamData;
    std::uint32_t FReadyServices;
    QString FShownName;
    QString FHint;
    QString FHelp;
};

// A grid property: adds the row-ignore level.
class TPluginPropertyGrid : public TPluginProperty {
public:
    using TPluginProperty::TPluginProperty;

    TPropGridIgnoreRowsLevel FPropGridIgnoreRowsLevel = pgirlNever;

    // AValuesList holds the data cells row by row, ACellsInRow per row. Returns the cells of the
    // rows that are not ignored, in order; for the trimmed levels each examined cell is trimmed
    // in AValuesList as well. With ARetKeyValStrs each entry is "<index in AValuesList>=<value>".
    QStringList GetRealValues(QStringList& AValuesList, int ACellsInRow, bool ARetKeyValStrs) const;
};

// The fixed names of the property kinds ("ChoiceSingle", ...); any other value raises the
// conversion error.
QString VisualPropTypeToStr(int AVisualPropType);
bool IsKnownVisualPropType(int AVisualPropType);
