#include "ui/translation/language_choice.h"

#include <QApplication>
#include <QDir>

#include "base/ini_document.h"
#include "translation/builtin_texts.h"
#include "translation/language_controller.h"

std::vector<TInstalledLanguage> InstalledLanguages(const TqvlgLanguageController& ACore) {
    const QString native = ACore.LanID_Native_CompiledConcept();
    std::vector<TInstalledLanguage> found{{native, QStringLiteral("English (US)")}};
    if (ACore.Work_Root().isEmpty())
        return found;
    const QDir root(ACore.Work_Root());
    for (const QString& code : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        const QString file = root.filePath(code + QLatin1Char('/') + KTransIdProgram);
        if (code.compare(native, Qt::CaseInsensitive) == 0 || !QFileInfo(file).isFile())
            continue;
        const QString description = TIniDocument::FromFile(file).ReadString(
            QStringLiteral("MetaData"), QStringLiteral("Lingua_Desc"), QString());
        found.push_back({code, description.isEmpty() ? code : description});
    }
    return found;
}

void ApplyReadingOrder(TqvlgLanguageController& ACore) {
    const QString order = TranslatedReadingOrder(ACore, QStringLiteral("LeftToRight"));
    const bool rightToLeft = order == QLatin1String("RightToLeft") ||
                             order == QLatin1String("RightToLeftNoAlign") ||
                             order == QLatin1String("RightToLeftReadingOnly");
    QApplication::setLayoutDirection(rightToLeft ? Qt::RightToLeft : Qt::LeftToRight);
}
