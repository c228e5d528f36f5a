#include "tests/project/test_plugins.h"

#include <QDir>
#include <QFile>

#include <tuple>

#include "base/exceptions.h"
#include "base/stream_fields.h"
#include "batch/batch_plugin_props.h"
#include "plugin_host/plugin_descriptor.h"
#include "plugin_host/plugin_host.h"
#include "plugin_host/plugin_internal.h"
#include "plugin_host/property_values.h"

namespace {

class TTestPlugin : public TPluginInternal {
public:
    TTestPlugin(const TTestPluginDecl& ADecl, QStringList& ACalls) : FDecl(ADecl), FCalls(ACalls) {
        FInfo.StrID = ADecl.StrID;
        FInfo.PluginName = ADecl.Name;
        FInfo.CanWorkCategory = ADecl.CanWorkCategory;
        FInfo.SuggestedExts = ADecl.SuggestedExts;
        FInfo.PluginLoadingScheme = plsRequireKeepInMemory;
    }

    const TPluginInfoHost* PluginReturnInfo(const TExeInfoHost&) override { return &FInfo; }

    void PluginSetupInit(const TExeInfoHost&, IExeInitCallbacks& ACallbacks) override {
        const auto declare = [&](const QString& AName, TVisualPropType AKind) {
            ACallbacks.ExeMakePropName(AName, AName, AKind, 0, {}, {});
        };
        const auto extras = [&] {
            for (const QString& name : FDecl.ExtraProps)
                declare(name, vtpChoiceSingle);
        };
        if (FDecl.ExtraFirst)
            extras();
        if (FDecl.EveryKind) {
            declare(QStringLiteral("Mode"), vtpChoiceSingle);
            declare(QStringLiteral("Set"), vtpChoiceMultiple);
            declare(QStringLiteral("Boxes"), vptTextBoxes);
            declare(QStringLiteral("Rules"), vptGrid);
            declare(QStringLiteral("Doc"), vptFile);
            declare(QStringLiteral("Custom"), vptCustom);
        }
        if (!FDecl.ExtraFirst)
            extras();
    }

    void PluginSetupPreEdit(const TExeInfoHost&, IExePreEditCallbacks& ACallbacks) override {
        for (const QString& name : FDecl.ExtraProps) {
            ACallbacks.ExeSetPropChoiceValueCount(name, 2);
            ACallbacks.ExeAddPropChoiceValue(name, QStringLiteral("on"), QStringLiteral("On"),
                                             true);
            ACallbacks.ExeAddPropChoiceValue(name, QStringLiteral("off"), QStringLiteral("Off"),
                                             false);
        }
        if (!FDecl.EveryKind)
            return;
        const QString mode = QStringLiteral("Mode");
        ACallbacks.ExeSetPropChoiceValueCount(mode, 3);
        ACallbacks.ExeAddPropChoiceValue(mode, QStringLiteral("a"), QStringLiteral("Alpha"), false);
        ACallbacks.ExeAddPropChoiceValue(mode, QStringLiteral("b"), QStringLiteral("Beta"), true);
        ACallbacks.ExeAddPropChoiceValue(mode, QStringLiteral("c"), QStringLiteral("Gamma"), false);
        const QString set = QStringLiteral("Set");
        ACallbacks.ExeSetPropChoiceValueCount(set, 3);
        ACallbacks.ExeAddPropChoiceValue(set, QStringLiteral("a"), QStringLiteral("Alpha"), true);
        ACallbacks.ExeAddPropChoiceValue(set, QStringLiteral("b"), QStringLiteral("Beta"), false);
        ACallbacks.ExeAddPropChoiceValue(set, QStringLiteral("c"), QStringLiteral("Gamma"), true);
        const QString boxes = QStringLiteral("Boxes");
        ACallbacks.ExeSetPropTextBoxValueCount(boxes, 2);
        ACallbacks.ExeSetPropTextBoxValue(boxes, QStringLiteral("user"), QStringLiteral("User"),
                                          QStringLiteral("anna"));
        ACallbacks.ExeSetPropTextBoxValue(boxes, QStringLiteral("port"), QStringLiteral("Port"),
                                          QStringLiteral("21"));
        const QString rules = QStringLiteral("Rules");
        ACallbacks.ExeSetPropGridColumnCount(rules, 2);
        ACallbacks.ExeAddPropGridColumn(rules, QStringLiteral("find"), QStringLiteral("Find"), {},
                                        0);
        ACallbacks.ExeAddPropGridColumn(rules, QStringLiteral("replace"), QStringLiteral("Replace"),
                                        {}, 64);
        ACallbacks.ExeSetPropDefaultGridValueCount(rules, 2);
        ACallbacks.ExeAddPropDefaultGridValue(rules, 0, 0, QStringLiteral("x"));
        ACallbacks.ExeAddPropDefaultGridValue(rules, 1, 0, QStringLiteral("y"));
        ACallbacks.ExeSetPropDefaultFileValue(QStringLiteral("Doc"), QStringLiteral("doc.txt"), 0);
    }

    void PluginSetPropChoiceValueCount(const QString& AProp, std::int32_t ACount) override {
        FCalls << QStringLiteral("ChoiceValueCount(%1,%2)").arg(AProp).arg(ACount);
    }
    void PluginSetPropChoiceValue(const QString& AProp, const QString& AChoiceID) override {
        FCalls << QStringLiteral("ChoiceValue(%1,%2)").arg(AProp, AChoiceID);
    }
    void PluginSetPropTextBoxValue(const QString& AProp, const QString& ATextBoxID,
                                   const QString& AValue) override {
        FCalls << QStringLiteral("TextBoxValue(%1,%2,%3)").arg(AProp, ATextBoxID, AValue);
    }
    void PluginSetPropGridValueCount(const QString& AProp, std::int32_t ACount) override {
        FCalls << QStringLiteral("GridValueCount(%1,%2)").arg(AProp).arg(ACount);
    }
    void PluginSetPropGridValue(const QString& AProp, const QString& AColID, std::int32_t ARowIdx,
                                const QString& AValue) override {
        FCalls
            << QStringLiteral("GridValue(%1,%2,%3,%4)").arg(AProp, AColID).arg(ARowIdx).arg(AValue);
    }
    void PluginSetPropFileValue(const QString& AProp, const QString& APath) override {
        QFile file(APath);
        const QString content = file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll())
                                                               : QStringLiteral("<missing>");
        FCalls << QStringLiteral("FileValue(%1,%2)").arg(AProp, content);
    }

private:
    const TTestPluginDecl& FDecl;
    QStringList& FCalls;
    TPluginInfoHost FInfo;
};

}  // namespace

TTestPluginSet::TTestPluginSet(QString AModulesFolder, QString ATempFolder, TqvLogging* ALog)
    : FModulesFolder(std::move(AModulesFolder)), FTempFolder(std::move(ATempFolder)), FLog(ALog) {}

TTestPluginSet::~TTestPluginSet() = default;

TTestPluginDecl& TTestPluginSet::Add(TTestPluginDecl ADecl) {
    // The default document of file properties lies in the plugin's module folder.
    const QString folder = FModulesFolder + QStringLiteral("Internal/") + ADecl.Name;
    QDir().mkpath(folder);
    QFile doc(folder + QStringLiteral("/doc.txt"));
    if (doc.open(QIODevice::WriteOnly))
        doc.write("default document\r\n");
    FDecls.push_back(std::move(ADecl));
    return FDecls.back();
}

TTestPluginDecl& TTestPluginSet::Declaration(const QString& AName) {
    for (TTestPluginDecl& decl : FDecls)
        if (decl.Name == AName)
            return decl;
    throw EqvParamWrong(QStringLiteral("no test plugin ") + AName);
}

TPluginHost& TTestPluginSet::Discover() {
    FHost.reset();
    FRegistry = TCollectionInternalPluginTypes();
    for (const TTestPluginDecl& decl : FDecls) {
        if (!decl.Installed)
            continue;
        const TTestPluginDecl* stable = &decl;
        FRegistry.AddOwn([this, stable] { return std::make_unique<TTestPlugin>(*stable, Calls); },
                         decl.Name);
    }
    TPluginHostSetup setup;
    setup.ModulesFolder = FModulesFolder;
    setup.TempFolder = FTempFolder;
    setup.Log = FLog;
    FHost = std::make_unique<TPluginHost>(FRegistry, setup);
    FHost->Discover();
    return *FHost;
}

TPluginStoredLibInfo& TTestPluginSet::Plugin(const QString& AStrID) const {
    TPluginStoredLibInfo* plugin = FHost->FindByStrID(AStrID);
    if (plugin == nullptr)
        throw EqvParamWrong(QStringLiteral("no plugin ") + AStrID);
    return *plugin;
}

QStringList TTestPluginSet::Deliver(const TBatchCombination& ACombination) {
    Calls.clear();
    TPluginStoredLibInfo& plugin = *ACombination.Props.LibInfo_Ref;
    for (const auto& property : plugin.FProperties) {
        if (property->FVisualPropType == vptCustom)
            continue;
        plugin.SetPluginWorkData(
            property->FPropName,
            CreatePluginBatchDataStream(plugin, property->FPropName,
                                        ACombination.Props.StoredStream(property->FPropName)));
    }
    return Calls;
}

QByteArray ModuleConfigStream(const std::vector<TStoredEntry>& AEntries) {
    TStreamWriter writer;
    writer.WriteInt32(static_cast<std::int32_t>(AEntries.size()));
    for (const TStoredEntry& entry : AEntries) {
        writer.WriteUtf8String(entry.Filter);
        writer.WriteByte(entry.PluginStrID.has_value() ? 1 : 0);
        if (!entry.PluginStrID.has_value())
            continue;
        writer.WriteUtf8String(*entry.PluginStrID);
        writer.WriteInt32(static_cast<std::int32_t>(entry.Props.size()));
        for (std::size_t i = 0; i < entry.Props.size(); ++i) {
            const auto& [name, value] = entry.Props[i];
            writer.WriteUtf8String(name);
            const bool last = i + 1 == entry.Props.size();
            writer.WriteInt32(last && entry.ForcedValueSize.has_value()
                                  ? *entry.ForcedValueSize
                                  : static_cast<std::int32_t>(value.size()));
            writer.WriteBytes(value);
        }
    }
    return writer.TakeData();
}

void AddStandardTestPlugins(TTestPluginSet& APlugins) {
    APlugins.Add({QStringLiteral("Files"),
                  KFilesID,
                  PLV_CAN_WORK_FILES,
                  QStringLiteral(".txt,.HTM"),
                  false,
                  {QStringLiteral("Opt")}});
    APlugins.Add({QStringLiteral("Dirs"), KDirsID, PLV_CAN_WORK_DIRECTORIES, {}, false, {}});
    APlugins.Add({QStringLiteral("Both"),
                  KBothID,
                  PLV_CAN_WORK_FILES | PLV_CAN_WORK_DIRECTORIES,
                  QStringLiteral(".htm, .css"),
                  false,
                  {}});
    APlugins.Add({QStringLiteral("Root"), KRootID, PLV_CAN_WORK_ROOT, {}, false, {}});
    APlugins.Add({QStringLiteral("All"),
                  KAllID,
                  PLV_CAN_WORK_FILES | PLV_CAN_WORK_DIRECTORIES | PLV_CAN_WORK_ROOT,
                  {},
                  true,
                  {}});
}

ProjectPluginsTest::ProjectPluginsTest()
    : FPlugins(FTemp.MakeFolder(QStringLiteral("modules")),
               FTemp.MakeFolder(QStringLiteral("temp")), &FLog) {
    FLog.FLogFileName = FTemp.Path(QStringLiteral("program.log"));
    AddStandardTestPlugins(FPlugins);
    FPlugins.Discover();
}

QString ProjectPluginsTest::LogText() const {
    return QString::fromUtf8(FTemp.ReadFile(QStringLiteral("program.log")));
}
