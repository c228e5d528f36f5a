#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include "plugin_host/plugin_host.h"
#include "plugins/text_files/delete_files/plugin_internal_delete_files.h"
#include "plugins/text_files/no_op/plugin_internal_no_op.h"
#include "tests/support/temp_folders.h"

namespace {
struct TRecordingWork : IExeWorkCallbacks {
    QStringList Errors;
    void ExeHandleWorkPathErrorMsg(const QString& AError, const QString& AAdvice) override {
        Errors << AError + QLatin1Char('|') + AAdvice;
    }
    void ExeHandleWorkPathErrorMsgW(const QString& AError, const QString& AAdvice) override {
        ExeHandleWorkPathErrorMsg(AError, AAdvice);
    }
    void ExeRequestAddPathToBatch(const QString&) override {}
};
}  // namespace

TEST(DeleteFilesPlugin, Information) {
    TPluginInternal_DeleteFiles plugin;
    const TPluginInfoHost* info = plugin.PluginReturnInfo(TExeInfoHost());
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->StrID, QStringLiteral("zq_kestrin_DeleteFiles"));
    EXPECT_EQ(info->PluginDesc, QStringLiteral("Delete files passed to module."));
    EXPECT_EQ(info->PluginVersion, QStringLiteral("1.03"));
    EXPECT_EQ(info->InterfaceVersion, QStringLiteral("1.0.4"));
    EXPECT_EQ(info->CanWorkCategory, 1u);
    EXPECT_EQ(info->ReleaseState, 4u);
    EXPECT_EQ(info->PluginLoadingScheme, plsCanDynamicAsNeeded);
}

TEST(DeleteFilesPlugin, DeletesFilesNeverDirectoriesAndAlwaysEndsThePath) {
    TTempFolder temp;
    struct TCase {
        const char* Name;
        QString Path;
        bool ExpectGone;
        bool ExpectReport;
    };
    const QString file = temp.WriteFile(QStringLiteral("w/a.txt"), "x");
    const QString folder = temp.MakeFolder(QStringLiteral("w/sub"));
    const std::vector<TCase> cases = {
        {"file", file, true, false},
        {"directory", folder, false, true},
        {"already gone", temp.Path(QStringLiteral("w/none.txt")), true, true},
    };
    for (const TCase& c : cases) {
        TPluginInternal_DeleteFiles plugin;
        TRecordingWork work;
        plugin.PluginSetupWorkStart(TExeInfoHost(), temp.Path(QStringLiteral("w/")), work);
        TWorkPathOutput out(c.Path);
        plugin.PluginWorkPath(c.Path, out);
        EXPECT_TRUE(out.OutputPath().isEmpty()) << c.Name;
        EXPECT_NE(out.Props.AdvisePathBatchStop, 0) << c.Name;
        EXPECT_EQ(out.Props.AdviseProjectBatchStop, 0) << c.Name;
        EXPECT_EQ(QFileInfo::exists(c.Path), !c.ExpectGone) << c.Name;
        EXPECT_EQ(work.Errors.size(), c.ExpectReport ? 1 : 0) << c.Name;
        if (c.ExpectReport) {
            EXPECT_TRUE(work.Errors.value(0).endsWith(QLatin1Char('|'))) << c.Name;  // empty advice
        }
    }
    EXPECT_TRUE(QDir(folder).exists());
}

TEST(NoOpPlugin, LeavesEverythingAlone) {
    TTempFolder temp;
    const QString file = temp.WriteFile(QStringLiteral("a.txt"), "x");
    TPluginInternal_NoOp plugin;
    EXPECT_EQ(plugin.PluginReturnInfo(TExeInfoHost())->StrID, QStringLiteral("zq_kestrin_NoOp"));
    TWorkPathOutput out(file);
    plugin.PluginWorkPath(file, out);
    EXPECT_EQ(out.OutputPath(), file);
    EXPECT_EQ(out.Props.AdvisePathBatchStop, 0);
    EXPECT_EQ(temp.ReadFile(QStringLiteral("a.txt")), QByteArray("x"));
}
