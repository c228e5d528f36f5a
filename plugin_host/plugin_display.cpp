#include "plugin_host/plugin_display.h"

#include "plugin_host/plovane_plugin.h"
#include "plugin_host/plugin_host_texts.h"
#include "translation/translated_text.h"

namespace {

int DisplayGroup(const QString& ALowerPath) {
    if (ALowerPath.startsWith(QStringLiteral("internal/")))
        return 0;
    if (ALowerPath.startsWith(QStringLiteral("external/kestrin/"))) {
        const QString rest = ALowerPath.mid(QStringLiteral("external/kestrin/").size());
        if (rest.startsWith(QStringLiteral("demos/")) ||
            rest.startsWith(QStringLiteral("bonuses/")))
            return 2;
        return 1;
    }
    return 3;
}

}  // namespace

QString FixPluginPN(const QString& APathName, bool ACutPlugDir, bool ACutAppPluginsRootPath,
                    bool AMakeSlashUrlLike, const QString& AModulesFolder) {
    QString result = APathName;
    if (ACutPlugDir) {
        const qsizetype slash = result.lastIndexOf(QLatin1Char('/'));
        result = slash < 0 ? QString() : result.left(slash);
    }
    if (ACutAppPluginsRootPath)
        result.remove(0, AModulesFolder.size());
    if (AMakeSlashUrlLike)
        result.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return result;
}

bool PluginDisplayLess(const QString& A, const QString& B) {
    const QString a = A.toLower();
    const QString b = B.toLower();
    const int groupA = DisplayGroup(a);
    const int groupB = DisplayGroup(b);
    if (groupA != groupB)
        return groupA < groupB;
    const qsizetype slashA =
        a.lastIndexOf(QLatin1Char('/'), a.endsWith(QLatin1Char('/')) ? -2 : -1);
    const qsizetype slashB =
        b.lastIndexOf(QLatin1Char('/'), b.endsWith(QLatin1Char('/')) ? -2 : -1);
    if (a.left(slashA) == b.left(slashB))
        return QString::localeAwareCompare(a.mid(slashA + 1), b.mid(slashB + 1)) < 0;
    return QString::localeAwareCompare(QStringLiteral("modules/") + a,
                                       QStringLiteral("modules/") + b) < 0;
}

QString ReleaseStateText(std::uint32_t AReleaseState) {
    QString result;
    if (AReleaseState & PLV_RELEASE_BUGGY)
        result = TranslatedMessage(KTextReleaseStateBuggy);
    else if (AReleaseState & PLV_RELEASE_USABLE)
        result = TranslatedMessage(KTextReleaseStateUsable);
    else if (AReleaseState & PLV_RELEASE_STABLE)
        result = TranslatedMessage(KTextReleaseStateStable);
    if (AReleaseState & PLV_RELEASE_ALPHA)
        result += QLatin1Char(' ') + TranslatedMessage(KTextReleaseStateAlphaLC);
    else if (AReleaseState & PLV_RELEASE_BETA)
        result += QLatin1Char(' ') + TranslatedMessage(KTextReleaseStateBetaLC);
    result += QLatin1Char('.');
    if (AReleaseState & PLV_RELEASE_NOT_PROD_USE_PARTS)
        result += QLatin1Char(' ') + TranslatedMessage(KTextReleaseStateNotProdUseParts);
    else if (AReleaseState & PLV_RELEASE_NOT_PROD_USE_ALL)
        result += QLatin1Char(' ') + TranslatedMessage(KTextReleaseStateNotProdUseAll);
    return result;
}

QString PluginCategoryText(int ACategory) {
    static const TqvlgNativeText* const KTexts[] = {
        &KTextPluginCategoryMiscellaneous, &KTextPluginCategoryFileProcessing,
        &KTextPluginCategoryOfficeRelated, &KTextPluginCategoryMediaHandling,
        &KTextPluginCategoryWebDevelopment};
    if (ACategory < pcMiscellaneous || ACategory > pcWebDevelopment)
        return {};
    return TranslatedMessage(*KTexts[ACategory]);
}
