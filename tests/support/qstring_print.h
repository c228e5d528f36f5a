#pragma once

#include <QString>
#include <QStringList>

#include <ostream>

// GoogleTest shows Qt strings as their text instead of their bytes.
inline void PrintTo(const QString& AText, std::ostream* AStream) {
    *AStream << '"' << AText.toStdString() << '"';
}

inline void PrintTo(const QStringList& AList, std::ostream* AStream) {
    *AStream << '{';
    for (qsizetype i = 0; i < AList.size(); ++i) {
        if (i > 0)
            *AStream << ", ";
        PrintTo(AList[i], AStream);
    }
    *AStream << '}';
}
