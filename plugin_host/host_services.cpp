#include "plugin_host/host_services.h"

#include <QFile>

#include "app/module_shared.h"
#include "app/program_log.h"
#include "base/exceptions.h"
#include "base/stream_fields.h"
#include "platform/ansi_code_page.h"
#include "plugin_host/plugin_descriptor.h"
#include "plugin_host/plugin_property.h"

namespace {

TPluginHostServices* GCurrentServices = nullptr;

QString CouldNot(const QString& AFunction) {
    return QStringLiteral("Could not \"") + AFunction + QLatin1Char('"');
}

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

TPluginHostServices::TPluginHostServices(QString ATempFolder, TqvLogging* ALog)
    : FTempFolder(std::move(ATempFolder)), FLog(ALog) {
    GCurrentServices = this;
}

TPluginHostServices::~TPluginHostServices() {
    if (GCurrentServices == this)
        GCurrentServices = nullptr;
}

TPluginHostServices* TPluginHostServices::Current() {
    return GCurrentServices;
}

void LogPluginProblem(const TPluginHostServices* AServices, const std::exception* AError,
                      const QString& AMessage) {
    TqvLogging* log = AServices != nullptr ? AServices->FLog : nullptr;
    if (log == nullptr)
        if (TModuleShared* module = TModuleShared::Instance())
            log = &module->FLogging;
    if (log != nullptr)
        log->Log(nullptr, AError, AMessage);
}

void TPluginHostServices::OpenInitWindow(TPluginStoredLibInfo* ADescriptor) {
    FInitTarget = ADescriptor;
}
void TPluginHostServices::CloseInitWindow() {
    FInitTarget = nullptr;
}
void TPluginHostServices::OpenPreEditWindow(TPluginStoredLibInfo* ADescriptor) {
    FPreEditTarget = ADescriptor;
}
void TPluginHostServices::ClosePreEditWindow() {
    FPreEditTarget = nullptr;
}

void TPluginHostServices::SetBatchWorkCallbacks(IExeWorkCallbacks* ASink) {
    const std::lock_guard lock(FWorkSinkLock);
    FWorkSink = ASink;
}

bool TPluginHostServices::BatchRunning() const {
    const std::lock_guard lock(FWorkSinkLock);
    return FWorkSink != nullptr;
}

void TPluginHostServices::RaiseUnassigned(const QString& AFunction) const {
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

void TPluginHostServices::ExeMakePropName(const QString& APropName, const QString& AShownName,
                                          TVisualPropType AVisualPropType,
                                          std::uint32_t AReadyServices, const QString& AHint,
                                          const QString& AHelp) {
    if (FInitTarget == nullptr)
        RaiseUnassigned(QStringLiteral("ExeMakePropName"));
    FInitTarget->AddProperty(APropName, AVisualPropType, AReadyServices, AShownName, AHint, AHelp);
}

void TPluginHostServices::ExeSetPropMetasGrid(const QString& APropName,
                                              std::int32_t AIgnoreRowsLevel) {
    const QString function = QStringLiteral("ExeSetPropMetasGrid");
    if (FInitTarget == nullptr)
        RaiseUnassigned(function);
    auto* grid = static_cast<TPluginPropertyGrid*>(
        FInitTarget->GetPropertyByNameAndValType(APropName, vptGrid, true, CouldNot(function)));
    grid->FPropGridIgnoreRowsLevel = static_cast<TPropGridIgnoreRowsLevel>(AIgnoreRowsLevel & 0xFF);
}

TPluginStoredLibInfo& TPluginHostServices::PreEditTarget(const QString& AFunction,
                                                         bool AWindowOpen) const {
    if (FPreEditTarget == nullptr || !AWindowOpen)
        RaiseUnassigned(AFunction);
    return *FPreEditTarget;
}

TPluginProperty& TPluginHostServices::PreEditProperty(const QString& AFunction, bool AWindowOpen,
                                                      const QString& APropName) const {
    TPluginStoredLibInfo& target = PreEditTarget(AFunction, AWindowOpen);
    const int index = target.GetPropNameIndex(APropName, true, CouldNot(AFunction));
    return *target.FProperties[static_cast<std::size_t>(index)];
}

void TPluginHostServices::ExeSetPropChoiceValueCount(const QString& APropName,
                                                     std::int32_t ACount) {
    TPluginProperty& property = PreEditProperty(QStringLiteral("ExeSetPropChoiceValueCount"),
                                                ChoiceWindow(FPreEditTarget), APropName);
    TStreamWriter writer;
    writer.WriteInt32(ACount);
    Append(property, writer);
}

void TPluginHostServices::ExeAddPropChoiceValue(const QString& APropName, const QString& AChoiceID,
                                                const QString& ACaption, bool AChecked) {
    TPluginProperty& property = PreEditProperty(QStringLiteral("ExeAddPropChoiceValue"),
                                                ChoiceWindow(FPreEditTarget), APropName);
    TStreamWriter writer;
    writer.WriteAnsiString(AChoiceID);
    writer.WriteUtf8String(ACaption);
    writer.WriteByte(AChecked ? 1 : 0);
    Append(property, writer);
}

void TPluginHostServices::ExeSetPropTextBoxValueCount(const QString& APropName,
                                                      std::int32_t ACount) {
    TPluginProperty& property = PreEditProperty(QStringLiteral("ExeSetPropTextBoxValueCount"),
                                                TextBoxWindow(FPreEditTarget), APropName);
    TStreamWriter writer;
    writer.WriteInt32(ACount);
    Append(property, writer);
}

void TPluginHostServices::ExeSetPropTextBoxValue(const QString& APropName,
                                                 const QString& ATextBoxID, const QString& ACaption,
                                                 const QString& ADefaultValue) {
    TPluginProperty& property = PreEditProperty(QStringLiteral("ExeSetPropTextBoxValue"),
                                                TextBoxWindow(FPreEditTarget), APropName);
    TStreamWriter writer;
    writer.WriteAnsiString(ATextBoxID);
    writer.WriteUtf8String(ACaption);
    writer.WriteUtf8String(ADefaultValue);
    Append(property, writer);
}

void TPluginHostServices::ExeSetPropGridColumnCount(const QString& APropName, std::int32_t ACount) {
    TPluginProperty& property = PreEditProperty(QStringLiteral("ExeSetPropGridColumnCount"),
                                                GridWindow(FPreEditTarget), APropName);
    TStreamWriter writer;
    writer.WriteInt32(ACount);
    Append(property, writer);
}

void TPluginHostServices::ExeAddPropGridColumn(const QString& APropName, const QString& AColID,
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

void TPluginHostServices::ExeSetPropDefaultGridValueCount(const QString& APropName,
                                                          std::int32_t ACount) {
    TPluginProperty& property = PreEditProperty(QStringLiteral("ExeSetPropDefaultGridValueCount"),
                                                GridWindow(FPreEditTarget), APropName);
    TStreamWriter writer;
    writer.WriteInt32(ACount);
    Append(property, writer);
}

void TPluginHostServices::ExeAddPropDefaultGridValue(const QString& APropName, std::int32_t AColIdx,
                                                     std::int32_t ARowIdx, const QString& AValue) {
    TPluginProperty& property = PreEditProperty(QStringLiteral("ExeAddPropDefaultGridValue"),
                                                GridWindow(FPreEditTarget), APropName);
    TStreamWriter writer;
    writer.WriteInt32(AColIdx);
    writer.WriteInt32(ARowIdx);
    writer.WriteUtf8String(AValue);
    Append(property, writer);
}

void TPluginHostServices::ExeSetPropDefaultFileValue(const QString& APropName,
                                                     const QString& AFileName,
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

IExeWorkCallbacks& TPluginHostServices::WorkSink(const QString& AFunction) const {
    const std::lock_guard lock(FWorkSinkLock);
    if (FWorkSink == nullptr)
        RaiseUnassigned(AFunction);
    return *FWorkSink;
}

void TPluginHostServices::ExeHandleWorkPathErrorMsg(const QString& AErrorMsg,
                                                    const QString& AAdviceMsg) {
    WorkSink(QStringLiteral("ExeHandleWorkPathErrorMsg"))
        .ExeHandleWorkPathErrorMsg(AErrorMsg, AAdviceMsg);
}

void TPluginHostServices::ExeHandleWorkPathErrorMsgW(const QString& AErrorMsg,
                                                     const QString& AAdviceMsg) {
    IExeWorkCallbacks& sink = WorkSink(QStringLiteral("ExeHandleWorkPathErrorMsgW"));
    const TAnsiCodePage& ansi = TAnsiCodePage::System();
    sink.ExeHandleWorkPathErrorMsg(ansi.Decode(ansi.Encode(AErrorMsg)),
                                   ansi.Decode(ansi.Encode(AAdviceMsg)));
}

void TPluginHostServices::ExeRequestAddPathToBatch(const QString& APath) {
    WorkSink(QStringLiteral("ExeRequestAddPathToBatch")).ExeRequestAddPathToBatch(APath);
}
