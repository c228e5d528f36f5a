#include "plugin_host/plugin_host_texts.h"

// The constants spell their file and section out instead of using the inline constants of the
// translation headers, so that they never depend on the order of static initialisation.
const TqvlgNativeText KTextReleaseStateBuggy{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MixedText__FrontMain"),
    QStringLiteral("ReleaseStateBuggy"), QStringLiteral("Buggy"), QString()};
const TqvlgNativeText KTextReleaseStateUsable{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MixedText__FrontMain"),
    QStringLiteral("ReleaseStateUsable"), QStringLiteral("Usable"), QString()};
const TqvlgNativeText KTextReleaseStateStable{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MixedText__FrontMain"),
    QStringLiteral("ReleaseStateStable"), QStringLiteral("Stable"), QString()};
const TqvlgNativeText KTextReleaseStateAlphaLC{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MixedText__FrontMain"),
    QStringLiteral("ReleaseStateAlphaLC"), QStringLiteral("alpha"), QString()};
const TqvlgNativeText KTextReleaseStateBetaLC{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MixedText__FrontMain"),
    QStringLiteral("ReleaseStateBetaLC"), QStringLiteral("beta"), QString()};
const TqvlgNativeText KTextReleaseStateNotProdUseParts{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MixedText__FrontMain"),
    QStringLiteral("ReleaseStateNotProdUseParts"),
    QStringLiteral("Some parts not intended for production use"), QString()};
const TqvlgNativeText KTextReleaseStateNotProdUseAll{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MixedText__FrontMain"),
    QStringLiteral("ReleaseStateNotProdUseAll"), QStringLiteral("Not intended for production use"),
    QString()};

const TqvlgNativeText KTextPluginCategoryMiscellaneous{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MixedText__FrontMain"),
    QStringLiteral("PluginCategoryMiscellaneous"), QStringLiteral("Miscellaneous"), QString()};
const TqvlgNativeText KTextPluginCategoryFileProcessing{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MixedText__FrontMain"),
    QStringLiteral("PluginCategoryFileProcessing"), QStringLiteral("File Processing"), QString()};
const TqvlgNativeText KTextPluginCategoryOfficeRelated{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MixedText__FrontMain"),
    QStringLiteral("PluginCategoryOfficeRelated"), QStringLiteral("Office Related"), QString()};
const TqvlgNativeText KTextPluginCategoryMediaHandling{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MixedText__FrontMain"),
    QStringLiteral("PluginCategoryMediaHandling"), QStringLiteral("Media Handling"), QString()};
const TqvlgNativeText KTextPluginCategoryWebDevelopment{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MixedText__FrontMain"),
    QStringLiteral("PluginCategoryWebDevelopment"), QStringLiteral("Web Development"), QString()};

std::vector<TqvlgNativeText> PluginHostNativeTexts() {
    return {KTextReleaseStateBuggy,
            KTextReleaseStateUsable,
            KTextReleaseStateStable,
            KTextReleaseStateAlphaLC,
            KTextReleaseStateBetaLC,
            KTextReleaseStateNotProdUseParts,
            KTextReleaseStateNotProdUseAll,
            KTextPluginCategoryMiscellaneous,
            KTextPluginCategoryFileProcessing,
            KTextPluginCategoryOfficeRelated,
            KTextPluginCategoryMediaHandling,
            KTextPluginCategoryWebDevelopment};
}
