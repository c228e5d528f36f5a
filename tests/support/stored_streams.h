#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <tuple>
#include <utility>
#include <vector>

// Stored value streams as the editor pages write them.
QByteArray StoredSingle(const QString& AId);
QByteArray StoredMultiple(const QStringList& AIds);
QByteArray StoredBoxes(const std::vector<std::pair<QString, QString>>& ABoxes);
// Cells as (column index, data row index, value).
using TStoredCell = std::tuple<std::int32_t, std::int32_t, QString>;
QByteArray StoredGrid(const QStringList& AColumns, const std::vector<TStoredCell>& ACells);
QByteArray StoredFile(const QString& ADocument);
