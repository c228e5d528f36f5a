#pragma once

class TCollectionInternalPluginTypes;

// Registers the plugins compiled into the program. The order is fixed and is the order in which
// discovery walks them: DeleteFiles, WebPageOptimizer, FtpUploader, ImageEffects, ListDirInHtml,
// ListPaths, PathNameFixer, RunOther, SendEmail, ZipCompress, TextReplacer, NoOp.
void RegisterAllInternalPlugins(TCollectionInternalPluginTypes& ARegistry);
