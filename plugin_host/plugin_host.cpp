#include "plugin_host/plugin_host.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

#include "base/exceptions.h"
#include "base/stream_fields.h"
#include "platform/ansi_code_page.h"
#include "platform/system_folders.h"
#include "plugin_host/internal_plugin_registry.h"
#include "plugin_host/plugin_descriptor.h"
#include "plugin_host/plugin_host_texts.h"
#include "translation/translated_text.h"

namespace {

TPluginHost* GCurrentHost = nullptr;

const QString KLibrarySuffix = QStringLiteral(".so");

QString CouldNot(const QString& AFunction) {
    return QStringLiteral("Could not \"") + AFunction + QLatin1Char('"');
}

// The shown name of a library: its file name up to the last ".".
QString ShownNameOf(const QString& AFileName) {
    const qsizetype dot = AFileName.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? AFileName : AFileName.left(dot);
}

// The entries of a folder in the order the file system returns them.
QFileInfoList FolderEntries(const QString& AFolder) {
    return QDir(AFolder).entryInfoList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
}

// Display-list groups: internal plugins, then the maker's own external ones (demos and bonuses
// after the others), then the rest.
int DisplayGroup(const QString& ALowerPath) {
    if (ALowerPath.startsWith(QStringLiteral("internal/")))
        return 0;
    if (ALowerPath.startsWith(QStringLiteral("external/kestrin/"))) {
        const QString rest = ALowerPath.mid(QStringLiteral("external/kestrin/").size());
        if (rest.startsWith(QStringLiteral("demos/")) ||
            rest.startsWith(QStringLiteral("bonuses/")))
            return 2;
        return 1;
    }
    return 3;
}

bool DisplayLess(const QString& A, const QString& B) {
    const QString a = A.toLower();
    const QString b = B.toLower();
    const int groupA = DisplayGroup(a);
    const int groupB = DisplayGroup(b);
    if (groupA != groupB)
        return groupA < groupB;
    const qsizetype slashA =
        a.lastIndexOf(QLatin1Char('/'), a.endsWith(QLatin1Char('/')) ? -2 : -1);
    const qsizetype slashB =
        b.lastIndexOf(QLatin1Char('/'), b.endsWith(QLatin1Char('/')) ? -2 : -1);
    if (a.left(slashA) == b.left(slashB))
        return QString::localeAwareCompare(a.mid(slashA + 1), b.mid(slashB + 1)) < 0;
    return QString::localeAwareCompare(QStringLiteral("modules/") + a,
                                       QStringLiteral("modules/") + b) < 0;
}

}  // namespace

TPluginHost::TPluginHost(const TCollectionInternalPluginTypes& ARegistry, TPluginHostSetup ASetup)
    : FRegistry(ARegistry), FSetup(std::move(ASetup)) {
    // Display names cut the modules folder from absolute library paths, so it must be absolute
    // and tidy too.
    if (!FSetup.ModulesFolder.isEmpty())
        FSetup.ModulesFolder = IncludeTrailingSeparator(
            QDir::cleanPath(QFileInfo(FSetup.ModulesFolder).absoluteFilePath()));
    GCurrentHost = this;
}

TPluginHost::~TPluginHost() {
    Clear();
    if (GCurrentHost == this)
        GCurrentHost = nullptr;
}

TPluginHost* TPluginHost::Current() {
    return GCurrentHost;
}

void TPluginHost::Clear() {
    FDisplayList.clear();
    // Descriptors unload their plugins (forced) when destroyed.
    FPluginList.clear();
    FInitTarget = nullptr;
    FPreEditTarget = nullptr;
}

void TPluginHost::AddAndInit(std::unique_ptr<TPluginStoredLibInfo> ADescriptor) {
    TPluginStoredLibInfo* descriptor = ADescriptor.get();
    FPluginList.push_back(std::move(ADescriptor));
    if (!descriptor->SP_SetupInit())
        FPluginList.pop_back();
}

void TPluginHost::Discover() {
    for (const TCollectionInternalPluginType& type : FRegistry.Items()) {
        auto descriptor = std::make_unique<TPluginStoredLibInfoInternal>(*this);
        descriptor->SetPluginPathName(FSetup.ModulesFolder + QStringLiteral("Internal/") +
                                      type.FNameID + QLatin1Char('/'));
        descriptor->FPluginShownName = type.FNameID;
        AddAndInit(std::move(descriptor));
    }
    ScanExternal(FSetup.ModulesFolder + QStringLiteral("External/"));

    FExeInfo.PluginPathName.clear();
    FExeInfo.PluginPath.clear();
    std::stable_sort(FPluginList.begin(), FPluginList.end(), [](const auto& A, const auto& B) {
        return QString::localeAwareCompare(A->FPluginPathName, B->FPluginPathName) < 0;
    });
    for (const auto& descriptor : FPluginList) {
        descriptor->SP_SetupPreEdit();
        for (const auto& property : descriptor->FProperties)
            if (!IsKnownVisualPropType(property->FVisualPropType))
                VisualPropTypeToStr(property->FVisualPropType);  // raises the conversion error
    }
    FDisplayList.clear();
    for (const auto& descriptor : FPluginList)
        FDisplayList.push_back(
            {FixPluginPN(descriptor->FPluginPathName, false, true, false, FSetup.ModulesFolder),
             descriptor.get()});
    std::stable_sort(FDisplayList.begin(), FDisplayList.end(),
                     [](const TDisplayEntry& A, const TDisplayEntry& B) {
                         return DisplayLess(A.DisplayPath, B.DisplayPath);
                     });
}

void TPluginHost::ScanExternal(const QString& AFolder) {
    for (const QFileInfo& entry : FolderEntries(AFolder)) {
        if (entry.isDir()) {
            const QString folder = IncludeTrailingSeparator(entry.absoluteFilePath());
            // The first library in a sub-folder is that folder's plugin; the folder is not
            // searched further.
            QString library;
            for (const QFileInfo& inner : FolderEntries(folder)) {
                if (inner.isFile() &&
                    inner.fileName().endsWith(KLibrarySuffix, Qt::CaseInsensitive)) {
                    library = inner.fileName();
                    break;
                }
            }
            if (library.isEmpty()) {
                ScanExternal(folder);
                continue;
            }
            auto descriptor = std::make_unique<TPluginStoredLibInfoExternal>(*this);
            descriptor->SetPluginPathName(folder + library);
            descriptor->FPluginShownName = ShownNameOf(library);
            AddAndInit(std::move(descriptor));
        } else if (QLatin1Char('.') + entry.suffix() == KLibrarySuffix) {
            auto descriptor = std::make_unique<TPluginStoredLibInfoExternal>(*this);
            descriptor->SetPluginPathName(entry.absoluteFilePath());
            descriptor->FPluginShownName = ShownNameOf(entry.fileName());
            AddAndInit(std::move(descriptor));
        }
    }
}

QStringList TPluginHost::OfferedPluginNames() const {
    QStringList names;
    for (const TDisplayEntry& entry : FDisplayList)
        names << FixPluginPN(entry.DisplayPath, true, false, false, FSetup.ModulesFolder);
    return names;
}

TPluginStoredLibInfo* TPluginHost::FindByStrID(const QString& AStrID) const {
    for (const auto& descriptor : FPluginList)
        if (descriptor->FPluginInfoHost.StrID == AStrID)
            return descriptor.get();
    return nullptr;
}

void TPluginHost::OpenInitWindow(TPluginStoredLibInfo* ADescriptor) {
    FInitTarget = ADescriptor;
}
void TPluginHost::CloseInitWindow() {
    FInitTarget = nullptr;
}
void TPluginHost::OpenPreEditWindow(TPluginStoredLibInfo* ADescriptor) {
    FPreEditTarget = ADescriptor;
}
void TPluginHost::ClosePreEditWindow() {
    FPreEditTarget = nullptr;
}

void TPluginHost::SetBatchWorkCallbacks(IExeWorkCallbacks* ASink) {
    const std::lock_guard lock(FWorkSinkLock);
    FWorkSink = ASink;
}

void TPluginHost::RaiseUnassigned(const QString& AFunction) const {
    QString who;
    if (FPreEditTarget != nullptr)
        who = (FPreEditTarget->IsInternal() ? QStringLiteral("Plugin (internal)")
                                            : QStringLiteral("Plugin (external)")) +
              QStringLiteral(": \"") + FPreEditTarget->FPluginPathName + QLatin1Char('"');
    else
        who = QStringLiteral("Plugin (external)");
    throw EqvMissingRequiredHandler(
        UnassignedHandlerText(who, AFunction, QStringLiteral("application")));
}

void TPluginHost::ExeMakePropName(const QString& APropName, const QString& AShownName,
                                  TVisualPropType AVisualPropType, std::uint32_t AReadyServices,
                                  const QString& AHint, const QString& AHelp) {
    if (FInitTarget == nullptr)
        RaiseUnassigned(QStringLiteral("ExeMakePropName"));
    FInitTarget->AddProperty(APropName, AVisualPropType, AReadyServices, AShownName, AHint, AHelp);
}

void TPluginHost::ExeSetPropMetasGrid(const QString& APropName, std::int32_t AIgnoreRowsLevel) {
    const QString function = QStringLiteral("ExeSetPropMetasGrid");
    if (FInitTarget == nullptr)
        RaiseUnassigned(function);
    auto* grid = static_cast<TPluginPropertyGrid*>(
        FInitTarget->GetPropertyByNameAndValType(APropName, vptGrid, true, CouldNot(function)));
    grid->FPropGridIgnoreRowsLevel = static_cast<TPropGridIgnoreRowsLevel>(AIgnoreRowsLevel & 0xFF);
}

TPluginStoredLibInfo& TPluginHost::PreEditTarget(const QString& AFunction, bool AWindowOpen) const {
    if (FPreEditTarget == nullptr || !AWindowOpen)
        RaiseUnassigned(AFunction);
    return *FPreEditTarget;
}

TPluginProperty& TPluginHost::PreEditProperty(const QString& AFunction, bool AWindowOpen,
                                              const QString& APropName) const {
    TPluginStoredLibInfo& target = PreEditTarget(AFunction, AWindowOpen);
    const int index = target.GetPropNameIndex(APropName, true, CouldNot(AFunction));
    return *target.FProperties[static_cast<std::size_t>(index)];
}

namespace {
bool ChoiceWindow(const TPluginStoredLibInfo* A) {
    return A != nullptr && (A->FHasSingleChoice || A->FHasMultipleChoice);
}
bool TextBoxWindow(const TPluginStoredLibInfo* A) {
    return A != nullptr && A->FHasTextBoxes;
}
bool GridWindow(const TPluginStoredLibInfo* A) {
    return A != nullptr && A->FHasGrid;
}
bool FileWindow(const TPluginStoredLibInfo* A) {
    return A != nullptr && A->FHasFile;
}

void Append(TPluginProperty& AProperty, const TStreamWriter& AWriter) {
    AProperty.FInitStreamData += AWriter.Data();
}
}  // namespace

void TPluginHost::ExeSetPropChoiceValueCount(const QString& APropName, std::int32_t ACount) {
    TPluginProperty& property = PreEditProperty(QStringLiteral("ExeSetPropChoiceValueCount"),
                                                ChoiceWindow(FPreEditTarget), APropName);
    TStreamWriter writer;
    writer.WriteInt32(ACount);
    Append(property, writer);
}

void TPluginHost::ExeAddPropChoiceValue(const QString& APropName, const QString& AChoiceID,
                                        const QString& ACaption, bool AChecked) {
    TPluginProperty& property = PreEditProperty(QStringLiteral("ExeAddPropChoiceValue"),
                                                ChoiceWindow(FPreEditTarget), APropName);
    TStreamWriter writer;
    writer.WriteAnsiString(AChoiceID);
    writer.WriteUtf8String(ACaption);
    writer.WriteByte(AChecked ? 1 : 0);
    Append(property, writer);
}

void TPluginHost::ExeSetPropTextBoxValueCount(const QString& APropName, std::int32_t ACount) {
    TPluginProperty& property = PreEditProperty(QStringLiteral("ExeSetPropTextBoxValueCount"),
                                                TextBoxWindow(FPreEditTarget), APropName);
    TStreamWriter writer;
    writer.WriteInt32(ACount);
    Append(property, writer);
}

void TPluginHost::ExeSetPropTextBoxValue(const QString& APropName, const QString& ATextBoxID,
                                         const QString& ACaption, const QString& ADefaultValue) {
    TPluginProperty& property = PreEditProperty(QStringLiteral("ExeSetPropTextBoxValue"),
                                                TextBoxWindow(FPreEditTarget), APropName);
    TStreamWriter writer;
    writer.WriteAnsiString(ATextBoxID);
    writer.WriteUtf8String(ACaption);
    writer.WriteUtf8String(ADefaultValue);
    Append(property, writer);
}

void TPluginHost::ExeSetPropGridColumnCount(const QString& APropName, std::int32_t ACount) {
    TPluginProperty& property = PreEditProperty(QStringLiteral("ExeSetPropGridColumnCount"),
                                                GridWindow(FPreEditTarget), APropName);
    TStreamWriter writer;
    writer.WriteInt32(ACount);
    Append(property, writer);
}

void TPluginHost::ExeAddPropGridColumn(const QString& APropName, const QString& AColID,
                                       const QString& ACaption, const QString& AColWidth,
                                       std::int32_t AColFlags) {
    TPluginProperty& property = PreEditProperty(QStringLiteral("ExeAddPropGridColumn"),
                                                GridWindow(FPreEditTarget), APropName);
    TStreamWriter writer;
    writer.WriteAnsiString(AColID);
    writer.WriteUtf8String(ACaption);
    writer.WriteAnsiString(AColWidth);
    writer.WriteInt32(AColFlags);
    Append(property, writer);
}

void TPluginHost::ExeSetPropDefaultGridValueCount(const QString& APropName, std::int32_t ACount) {
    TPluginProperty& property = PreEditProperty(QStringLiteral("ExeSetPropDefaultGridValueCount"),
                                                GridWindow(FPreEditTarget), APropName);
    TStreamWriter writer;
    writer.WriteInt32(ACount);
    Append(property, writer);
}

void TPluginHost::ExeAddPropDefaultGridValue(const QString& APropName, std::int32_t AColIdx,
                                             std::int32_t ARowIdx, const QString& AValue) {
    TPluginProperty& property = PreEditProperty(QStringLiteral("ExeAddPropDefaultGridValue"),
                                                GridWindow(FPreEditTarget), APropName);
    TStreamWriter writer;
    writer.WriteInt32(AColIdx);
    writer.WriteInt32(ARowIdx);
    writer.WriteUtf8String(AValue);
    Append(property, writer);
}

void TPluginHost::ExeSetPropDefaultFileValue(const QString& APropName, const QString& AFileName,
                                             std::int32_t AFileFlags) {
    TPluginProperty& property = PreEditProperty(QStringLiteral("ExeSetPropDefaultFileValue"),
                                                FileWindow(FPreEditTarget), APropName);
    QByteArray bytes;
    QFile file(FPreEditTarget->FPluginPath + AFileName);
    if (file.open(QIODevice::ReadOnly))
        bytes = file.readAll();
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    // The document's bytes are taken as they are, behind the UTF-8 mark of the field.
    TStreamWriter writer;
    writer.WriteInt32(static_cast<std::int32_t>(bytes.size() + 3));
    writer.WriteBytes(QByteArray("\xEF\xBB\xBF", 3));
    writer.WriteBytes(bytes);
    writer.WriteInt32(AFileFlags);
    Append(property, writer);
}

IExeWorkCallbacks& TPluginHost::WorkSink(const QString& AFunction) const {
    const std::lock_guard lock(FWorkSinkLock);
    if (FWorkSink == nullptr)
        RaiseUnassigned(AFunction);
    return *FWorkSink;
}

void TPluginHost::ExeHandleWorkPathErrorMsg(const QString& AErrorMsg, const QString& AAdviceMsg) {
    WorkSink(QStringLiteral("ExeHandleWorkPathErrorMsg"))
        .ExeHandleWorkPathErrorMsg(AErrorMsg, AAdviceMsg);
}

void TPluginHost::ExeHandleWorkPathErrorMsgW(const QString& AErrorMsg, const QString& AAdviceMsg) {
    IExeWorkCallbacks& sink = WorkSink(QStringLiteral("ExeHandleWorkPathErrorMsgW"));
    const TAnsiCodePage& ansi = TAnsiCodePage::System();
    sink.ExeHandleWorkPathErrorMsg(ansi.Decode(ansi.Encode(AErrorMsg)),
                                   ansi.Decode(ansi.Encode(AAdviceMsg)));
}

void TPluginHost::ExeRequestAddPathToBatch(const QString& APath) {
    WorkSink(QStringLiteral("ExeRequestAddPathToBatch")).ExeRequestAddPathToBatch(APath);
}

QString FixPluginPN(const QString& APathName, bool ACutPlugDir, bool ACutAppPluginsRootPath,
                    bool AMakeSlashUrlLike, const QString& AModulesFolder) {
    QString result = APathName;
    if (ACutPlugDir) {
        const qsizetype slash = result.lastIndexOf(QLatin1Char('/'));
        result = slash < 0 ? QString() : result.left(slash);
    }
    if (ACutAppPluginsRootPath)
        result.remove(0, AModulesFolder.size());
    if (AMakeSlashUrlLike)
        result.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return result;
}

QString ReleaseStateText(std::uint32_t AReleaseState) {
    QString result;
    if (AReleaseState & PLV_RELEASE_BUGGY)
        result = TranslatedMessage(KTextReleaseStateBuggy);
    else if (AReleaseState & PLV_RELEASE_USABLE)
        result = TranslatedMessage(KTextReleaseStateUsable);
    else if (AReleaseState & PLV_RELEASE_STABLE)
        result = TranslatedMessage(KTextReleaseStateStable);
    if (AReleaseState & PLV_RELEASE_ALPHA)
        result += QLatin1Char(' ') + TranslatedMessage(KTextReleaseStateAlphaLC);
    else if (AReleaseState & PLV_RELEASE_BETA)
        result += QLatin1Char(' ') + TranslatedMessage(KTextReleaseStateBetaLC);
    result += QLatin1Char('.');
    if (AReleaseState & PLV_RELEASE_NOT_PROD_USE_PARTS)
        result += QLatin1Char(' ') + TranslatedMessage(KTextReleaseStateNotProdUseParts);
    else if (AReleaseState & PLV_RELEASE_NOT_PROD_USE_ALL)
        result += QLatin1Char(' ') + TranslatedMessage(KTextReleaseStateNotProdUseAll);
    return result;
}

QString PluginCategoryText(int ACategory) {
    static const TqvlgNativeText* const KTexts[] = {
        &KTextPluginCategoryMiscellaneous, &KTextPluginCategoryFileProcessing,
        &KTextPluginCategoryOfficeRelated, &KTextPluginCategoryMediaHandling,
        &KTextPluginCategoryWebDevelopment};
    if (ACategory < pcMiscellaneous || ACategory > pcWebDevelopment)
        return {};
    return TranslatedMessage(*KTexts[ACategory]);
}
