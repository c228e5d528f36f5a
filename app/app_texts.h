#pragma once

#include <vector>

#include "translation/builtin_texts.h"

// Messages of the application module about its folders ("UTF8_program.ini", section
// "__MessageText__Module"). {dynDirFilePathName} is the data root as it was given,
// {dynBlockingPath} what stands in its way.
extern const TqvlgNativeText KTextDataRootNotAFolder;
extern const TqvlgNativeText KTextDataRootNotCreated;

// Every text above, so that the translations can be checked against them.
std::vector<TqvlgNativeText> AppNativeTexts();
