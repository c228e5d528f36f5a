#include "tests/ui/modules_editor/kinds_plugin.h"

#include "plugin_host/plugin_internal.h"
#include "tests/ui/ui_test_env.h"

namespace {

class TKindsPlugin : public TPluginInternal {
public:
    TKindsPlugin(TKindsRecord& ARecord, bool AWithMail) : FRecord(ARecord) {
        FInfo.StrID = AWithMail ? KKindsMailID : KKindsID;
        FInfo.PluginName = AWithMail ? QStringLiteral("Kinds with mail") : QStringLiteral("Kinds");
        FInfo.PluginLoadingScheme = plsCanDynamicAsNeeded;
        FInfo.CanWorkCategory = PLV_CAN_WORK_FILES | PLV_CAN_WORK_DIRECTORIES;
        FInfo.Author = QStringLiteral("Test Author");
        FInfo.CopyRight = QStringLiteral("(c) Tests");
        FInfo.PluginVersion = QStringLiteral("1.2");
        if (AWithMail) {
            FInfo.HasEmail = QStringLiteral("dev@kinds.example");
            FInfo.HasUrl = QStringLiteral("https://kinds.example/");
            FInfo.HasCompany = QStringLiteral("Kinds Ltd");
        }
    }
    const TPluginInfoHost* PluginReturnInfo(const TExeInfoHost&) override { return &FInfo; }
    void PluginSetupInit(const TExeInfoHost&, IExeInitCallbacks& ACallbacks) override {
        ACallbacks.ExeMakePropName(QStringLiteral("Mode"), QStringLiteral("Mode"), vtpChoiceSingle,
                                   0, {}, QStringLiteral("How to work."));
        ACallbacks.ExeMakePropName(QStringLiteral("Set"), QStringLiteral("Set"), vtpChoiceMultiple,
                                   0, {}, {});
        ACallbacks.ExeMakePropName(QStringLiteral("Boxes"), QStringLiteral("Boxes"), vptTextBoxes,
                                   PLV_SERVICE_INSERT_FILE_PATH | PLV_SERVICE_OPEN_TEXT_EDITOR, {},
                                   QStringLiteral("Who and where."));
    }
    void PluginSetupPreEdit(const TExeInfoHost&, IExePreEditCallbacks& ACallbacks) override {
        for (const char* name : {"Mode", "Set"}) {
            const QString prop = QString::fromLatin1(name);
            const bool multiple = prop == QStringLiteral("Set");
            ACallbacks.ExeSetPropChoiceValueCount(prop, 3);
            ACallbacks.ExeAddPropChoiceValue(prop, QStringLiteral("a"), QStringLiteral("Alpha"),
                                             multiple);
            ACallbacks.ExeAddPropChoiceValue(prop, QStringLiteral("b"), QStringLiteral("Beta"),
                                             !multiple);
            ACallbacks.ExeAddPropChoiceValue(prop, QStringLiteral("c"), QStringLiteral("Gamma"),
                                             multiple);
        }
        const QString boxes = QStringLiteral("Boxes");
        ACallbacks.ExeSetPropTextBoxValueCount(boxes, 2);
        ACallbacks.ExeSetPropTextBoxValue(boxes, QStringLiteral("user"), QStringLiteral("User"),
                                          QStringLiteral("anna"));
        ACallbacks.ExeSetPropTextBoxValue(boxes, QStringLiteral("port"), QStringLiteral("Port"),
                                          QStringLiteral("21"));
    }
    void PluginSetupEdit(const TExeInfoHost&, IExeWorkCallbacks&) override { ++FRecord.SetupEdit; }
    void PluginSetPropChoiceValueCount(const QString& AProp, std::int32_t ACount) override {
        FRecord.Delivered << QStringLiteral("%1#%2").arg(AProp).arg(ACount);
    }
    void PluginSetPropChoiceValue(const QString& AProp, const QString& AID) override {
        FRecord.Delivered << AProp + QLatin1Char('=') + AID;
    }
    void PluginSetPropTextBoxValue(const QString& AProp, const QString& AID,
                                   const QString& AValue) override {
        FRecord.Delivered << AProp + QLatin1Char('.') + AID + QLatin1Char('=') + AValue;
    }
    void PluginVerifyPropTextBoxValue(const QString&, const QString& AID, const QString& AValue,
                                      const TExeHandleEditPropTextBoxErrorMsg& AHandler) override {
        FRecord.Verified << AID + QLatin1Char('=') + AValue;
        bool number = false;
        AValue.toInt(&number);
        if (AID == QStringLiteral("port") && !number)
            AHandler(AID, QStringLiteral("Port is wrong."), QStringLiteral("Write a number."));
    }

private:
    TKindsRecord& FRecord;
    TPluginInfoHost FInfo;
};

}  // namespace

void AddKindsPlugins(TUiTestEnvironment& AEnv, TKindsRecord& ARecord) {
    AEnv.Registry().AddOwn(
        [&ARecord] { return std::unique_ptr<TPluginInternal>(new TKindsPlugin(ARecord, false)); },
        QStringLiteral("Kinds"));
    AEnv.Registry().AddOwn(
        [&ARecord] { return std::unique_ptr<TPluginInternal>(new TKindsPlugin(ARecord, true)); },
        QStringLiteral("KindsMail"));
    AEnv.Window().ReloadPlugins();
}
