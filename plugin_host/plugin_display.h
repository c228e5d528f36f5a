#pragma once

#include <QString>

#include <cstdint>

// How plugins are shown: the path-name helper, the order of the display list and the display
// texts of the information record.

// The switches apply in this order to a copy of APathName: keep only the folder (without its
// final separator), cut the modules folder's length from the front, turn "\" into "/".
QString FixPluginPN(const QString& APathName, bool ACutPlugDir, bool ACutAppPluginsRootPath,
                    bool AMakeSlashUrlLike, const QString& AModulesFolder);

// The display-list order of two display paths (paths below the modules folder): internal
// plugins first, then the maker's own external ones (their demos and bonuses after the others),
// then the rest; within a folder by file name, else by path, both lower-cased and compared as
// the locale does.
bool PluginDisplayLess(const QString& A, const QString& B);

// Display texts of the information record.
QString ReleaseStateText(std::uint32_t AReleaseState);
QString PluginCategoryText(int ACategory);
