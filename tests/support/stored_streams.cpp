#include "tests/support/stored_streams.h"

#include "base/stream_fields.h"

QByteArray StoredSingle(const QString& AId) {
    TStreamWriter writer;
    writer.WriteAnsiString(AId);
    return writer.TakeData();
}

QByteArray StoredMultiple(const QStringList& AIds) {
    TStreamWriter writer;
    writer.WriteInt32(static_cast<std::int32_t>(AIds.size()));
    for (const QString& id : AIds)
        writer.WriteAnsiString(id);
    return writer.TakeData();
}

QByteArray StoredBoxes(const std::vector<std::pair<QString, QString>>& ABoxes) {
    TStreamWriter writer;
    writer.WriteInt32(static_cast<std::int32_t>(ABoxes.size()));
    for (const auto& [id, text] : ABoxes) {
        writer.WriteAnsiString(id);
        writer.WriteUtf8String(text);
    }
    return writer.TakeData();
}

QByteArray StoredGrid(const QStringList& AColumns, const std::vector<TStoredCell>& ACells) {
    TStreamWriter writer;
    writer.WriteInt32(static_cast<std::int32_t>(AColumns.size()));
    for (const QString& column : AColumns)
        writer.WriteAnsiString(column);
    writer.WriteInt32(static_cast<std::int32_t>(ACells.size()));
    for (const auto& [col, row, value] : ACells) {
        writer.WriteInt32(col);
        writer.WriteInt32(row);
        writer.WriteUtf8String(value);
    }
    return writer.TakeData();
}

QByteArray StoredFile(const QString& ADocument) {
    TStreamWriter writer;
    writer.WriteUtf8String(ADocument);
    return writer.TakeData();
}
