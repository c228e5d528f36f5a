#pragma once

// The table control's automatic column widths, apart from the widget: a number N gives N
// pixels; "N+" gives N pixels or the widest text of the column, whichever is larger; "N%" is a
// share of what the pixel-width columns leave of the client width; an empty (or unreadable)
// rule keeps the column's current width.

#include <QList>
#include <QString>

struct TqvColWidthRule {
    enum class TKind { Keep, Pixels, AtLeast, Share };
    TKind Kind = TKind::Keep;
    int N = 0;
};

TqvColWidthRule ParseColWidthRule(const QString& AText);

struct TqvColWidthInput {
    TqvColWidthRule Rule;
    int Current = 0;     // the width the column has now
    int WidestText = 0;  // the width its widest text needs
};

// The widths of all columns for a client width. AGridLineWidth is what each column's grid line
// takes beside the column's own width. Shares are rounded to the nearest pixel; the last share
// column gives back what the rounding overshot. No width is negative.
QList<int> ComputeColumnWidths(const QList<TqvColWidthInput>& AColumns, int AClientWidth,
                               int AGridLineWidth);
