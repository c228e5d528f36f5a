#include "plugins/register_all.h"

#include "plugin_host/internal_plugin_registry.h"
#include "plugins/text_files/delete_files/plugin_internal_delete_files.h"
#include "plugins/text_files/list_paths/plugin_internal_list_paths.h"
#include "plugins/text_files/no_op/plugin_internal_no_op.h"
#include "plugins/text_files/path_name_fixer/plugin_internal_path_name_fixer.h"
#include "plugins/text_files/run_other/plugin_internal_run_other.h"
#include "plugins/text_files/send_email/plugin_internal_send_email.h"
#include "plugins/text_files/text_replacer/plugin_internal_text_replacer.h"
#include "plugins/text_files/zip_compress/plugin_internal_zip_compress.h"
#include "plugins/web_media/ftp_uploader/plugin_internal_ftp_uploader.h"
#include "plugins/web_media/image_effects/plugin_internal_image_effects.h"
#include "plugins/web_media/list_dir_in_html/plugin_internal_list_dir_in_html.h"
#include "plugins/web_media/web_page_optimizer/plugin_internal_web_page_optimizer.h"

void RegisterAllInternalPlugins(TCollectionInternalPluginTypes& ARegistry) {
    // Plugins not yet part of the program keep their place in this order when they arrive.
    ARegistry.AddOwn<TPluginInternal_DeleteFiles>(QStringLiteral("DeleteFiles"));
    ARegistry.AddOwn<TPluginInternal_WebPageOptimizer>(QStringLiteral("WebPageOptimizer"));
    ARegistry.AddOwn<TPluginInternal_FtpUploader>(QStringLiteral("FtpUploader"));
    ARegistry.AddOwn<TPluginInternal_ImageEffects>(QStringLiteral("ImageEffects"));
    ARegistry.AddOwn<TPluginInternal_ListDirInHtml>(QStringLiteral("ListDirInHtml"));
    ARegistry.AddOwn<TPluginInternal_ListPaths>(QStringLiteral("ListPaths"));
    ARegistry.AddOwn<TPluginInternal_PathNameFixer>(QStringLiteral("PathNameFixer"));
    ARegistry.AddOwn<TPluginInternal_RunOther>(QStringLiteral("RunOther"));
    ARegistry.AddOwn<TPluginInternal_SendEmail>(QStringLiteral("SendEmail"));
    ARegistry.AddOwn<TPluginInternal_ZipCompress>(QStringLiteral("ZipCompress"));
    ARegistry.AddOwn<TPluginInternal_TextReplacer>(QStringLiteral("TextReplacer"));
    ARegistry.AddOwn<TPluginInternal_NoOp>(QStringLiteral("NoOp"));
}
