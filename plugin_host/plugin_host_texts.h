#pragma once

#include <vector>

#include "translation/builtin_texts.h"

// The words a plugin's maturity is shown in ("UTF8_program.ini", section
// "__MixedText__FrontMain"), one per release state bit.
extern const TqvlgNativeText KTextReleaseStateBuggy;            // "Buggy"
extern const TqvlgNativeText KTextReleaseStateUsable;           // "Usable"
extern const TqvlgNativeText KTextReleaseStateStable;           // "Stable"
extern const TqvlgNativeText KTextReleaseStateAlphaLC;          // "alpha"
extern const TqvlgNativeText KTextReleaseStateBetaLC;           // "beta"
extern const TqvlgNativeText KTextReleaseStateNotProdUseParts;  // "Some parts not intended ..."
extern const TqvlgNativeText KTextReleaseStateNotProdUseAll;    // "Not intended for production use"

// The names of the plugin categories, in the order of TPluginCategory (same file and section).
extern const TqvlgNativeText KTextPluginCategoryMiscellaneous;
extern const TqvlgNativeText KTextPluginCategoryFileProcessing;
extern const TqvlgNativeText KTextPluginCategoryOfficeRelated;
extern const TqvlgNativeText KTextPluginCategoryMediaHandling;
extern const TqvlgNativeText KTextPluginCategoryWebDevelopment;

// Every text above, so that the translations can be checked against them.
std::vector<TqvlgNativeText> PluginHostNativeTexts();
