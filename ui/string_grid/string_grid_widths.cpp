#include "ui/string_grid/string_grid_widths.h"

#include <algorithm>
#include <cmath>

TqvColWidthRule ParseColWidthRule(const QString& AText) {
    QString text = AText.trimmed();
    TqvColWidthRule rule;
    TqvColWidthRule::TKind kind = TqvColWidthRule::TKind::Pixels;
    if (text.endsWith(QLatin1Char('+'))) {
        kind = TqvColWidthRule::TKind::AtLeast;
        text.chop(1);
    } else if (text.endsWith(QLatin1Char('%'))) {
        kind = TqvColWidthRule::TKind::Share;
        text.chop(1);
    }
    bool ok = false;
    const int n = text.trimmed().toInt(&ok);
    if (!ok || n < 0)
        return rule;  // keep the current width
    rule.Kind = kind;
    rule.N = n;
    return rule;
}

QList<int> ComputeColumnWidths(const QList<TqvColWidthInput>& AColumns, int AClientWidth,
                               int AGridLineWidth) {
    using TKind = TqvColWidthRule::TKind;
    QList<int> widths(AColumns.size(), 0);
    qint64 remaining = qint64(AClientWidth) - qint64(AGridLineWidth) * AColumns.size();
    qint64 shareTotal = 0;
    for (qsizetype i = 0; i < AColumns.size(); ++i) {
        const TqvColWidthInput& column = AColumns[i];
        switch (column.Rule.Kind) {
            case TKind::Keep:
                widths[i] = column.Current;
                break;
            case TKind::Pixels:
                widths[i] = column.Rule.N;
                break;
            case TKind::AtLeast:
                widths[i] = std::max(column.Rule.N, column.WidestText);
                break;
            case TKind::Share:
                shareTotal += column.Rule.N;
                continue;
        }
        remaining -= widths[i];
    }
    remaining = std::max<qint64>(remaining, 0);
    if (shareTotal == 0)
        return widths;
    qint64 given = 0;
    qsizetype last = -1;
    for (qsizetype i = 0; i < AColumns.size(); ++i) {
        if (AColumns[i].Rule.Kind != TKind::Share)
            continue;
        const double exact = double(remaining) * AColumns[i].Rule.N / double(shareTotal);
        widths[i] = static_cast<int>(std::lround(exact));
        given += widths[i];
        last = i;
    }
    if (given > remaining && last >= 0)
        widths[last] = static_cast<int>(std::max<qint64>(widths[last] - (given - remaining), 0));
    return widths;
}
