#include "app/app_texts.h"

// The constants spell their file and section out instead of using the inline constants of the
// translation headers, so that they never depend on the order of static initialisation.
const TqvlgNativeText KTextDataRootNotAFolder{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MessageText__Module"),
    QStringLiteral("DataRootNotAFolder"),
    QStringLiteral("The data root \"{dynDirFilePathName}\" cannot be used: \"{dynBlockingPath}\" "
                   "is not a folder."),
    QStringLiteral("__curly")};
const TqvlgNativeText KTextDataRootNotCreated{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MessageText__Module"),
    QStringLiteral("DataRootNotCreated"),
    QStringLiteral("The data root \"{dynDirFilePathName}\" cannot be used: the folder "
                   "\"{dynBlockingPath}\" cannot be created or written."),
    QStringLiteral("__curly")};

std::vector<TqvlgNativeText> AppNativeTexts() {
    return {KTextDataRootNotAFolder, KTextDataRootNotCreated};
}
