#include "tests/plugins/text_files/text_replacer/plugin_batch_harness.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include "base/stream_fields.h"
#include "plugin_host/plugin_descriptor.h"
#include "plugin_host/plugin_host.h"
#include "plugin_host/plugin_internal.h"
#include "plugin_host/property_values.h"

void TRecordingWorkSink::ExeHandleWorkPathErrorMsg(const QString& AErrorMsg,
                                                   const QString& AAdviceMsg) {
    const std::lock_guard lock(FLock);
    FErrors << AErrorMsg;
    FAnyAdvice = FAnyAdvice || !AAdviceMsg.isEmpty();
}

void TRecordingWorkSink::ExeHandleWorkPathErrorMsgW(const QString& AErrorMsg,
                                                    const QString& AAdviceMsg) {
    ExeHandleWorkPathErrorMsg(AErrorMsg, AAdviceMsg);
}

void TRecordingWorkSink::ExeRequestAddPathToBatch(const QString& APath) {
    const std::lock_guard lock(FLock);
    FAddedPaths << APath;
}

QStringList TRecordingWorkSink::AddedPaths() const {
    const std::lock_guard lock(FLock);
    return FAddedPaths;
}

QStringList TRecordingWorkSink::Errors() const {
    const std::lock_guard lock(FLock);
    return FErrors;
}

bool TRecordingWorkSink::AnyAdvice() const {
    const std::lock_guard lock(FLock);
    return FAnyAdvice;
}

void TRecordingWorkSink::Clear() {
    const std::lock_guard lock(FLock);
    FErrors.clear();
    FAddedPaths.clear();
    FAnyAdvice = false;
}

TPluginBatchHarness::TPluginBatchHarness(const QString& AName, TFactory AFactory) : FName(AName) {
    const QString modules = FTemp.MakeFolder(QStringLiteral("modules"));
    const QString pluginFolder = FTemp.MakeFolder(QStringLiteral("modules/Internal/") + AName);
    const QDir shipped(QStringLiteral(PLOVANE_RESOURCES_DIR "/modules/Internal/") + AName);
    for (const QString& name : shipped.entryList(QDir::Files))
        EXPECT_TRUE(QFile::copy(shipped.filePath(name), pluginFolder + name)) << name.toStdString();
    FRegistry.AddOwn(std::move(AFactory), AName);
    TPluginHostSetup setup;
    setup.ModulesFolder = modules;
    setup.TempFolder = FTemp.MakeFolder(QStringLiteral("values"));
    FHost = std::make_unique<TPluginHost>(FRegistry, setup);
    FHost->Discover();
    EXPECT_EQ(FHost->PluginList().size(), 1u) << "the plugin was not discovered";
}

TPluginBatchHarness::~TPluginBatchHarness() {
    if (FBatchOpen)
        FHost->SetBatchWorkCallbacks(nullptr);
}

TPluginStoredLibInfo& TPluginBatchHarness::Descriptor() const {
    return *FHost->PluginList().front();
}

QString TPluginBatchHarness::PluginFolder() const {
    return FTemp.Path(QStringLiteral("modules/Internal/") + FName + QLatin1Char('/'));
}

void TPluginBatchHarness::Start(const QString& ARootBatchPath,
                                const QHash<QString, QByteArray>& AStored) {
    FHost->SetBatchWorkCallbacks(&FSink);
    FBatchOpen = true;
    TPluginStoredLibInfo& descriptor = Descriptor();
    descriptor.LoadPlugin();
    descriptor.SP_SetupWorkStart(ARootBatchPath);
    for (const auto& property : descriptor.FProperties) {
        const QString& name = property->FPropName;
        descriptor.SetPluginWorkData(
            name, CreatePluginBatchDataStream(descriptor, name, AStored.value(name)));
    }
    descriptor.SP_SetupWorkStartDone();
}

QString TPluginBatchHarness::Work(const QString& APath) const {
    TWorkPathOutput out(APath);
    Descriptor().NP_WorkPath(APath, out);
    return out.OutputPath();
}

void TPluginBatchHarness::End() {
    Descriptor().SP_SetupWorkEnd();
    RemoveValueFiles(FHost->Setup().TempFolder);
    FHost->SetBatchWorkCallbacks(nullptr);
    FBatchOpen = false;
}

QStringList TPluginBatchHarness::Run(const QString& ARootBatchPath,
                                     const QHash<QString, QByteArray>& AStored,
                                     const QStringList& APaths) {
    Start(ARootBatchPath, AStored);
    QStringList outputs;
    for (const QString& path : APaths)
        outputs << Work(path);
    End();
    return outputs;
}

QByteArray StoredGrid(const QStringList& AColumns, const QList<QStringList>& ARows) {
    TStreamWriter writer;
    writer.WriteInt32(static_cast<std::int32_t>(AColumns.size()));
    for (const QString& column : AColumns)
        writer.WriteAnsiString(column);
    writer.WriteInt32(static_cast<std::int32_t>(AColumns.size() * ARows.size()));
    for (qsizetype row = 0; row < ARows.size(); ++row) {
        for (qsizetype col = 0; col < AColumns.size(); ++col) {
            writer.WriteInt32(static_cast<std::int32_t>(col));
            writer.WriteInt32(static_cast<std::int32_t>(row));
            writer.WriteUtf8String(ARows.at(row).value(col));
        }
    }
    return writer.TakeData();
}

QByteArray StoredFile(const QString& ADocument) {
    TStreamWriter writer;
    writer.WriteUtf8String(ADocument);
    return writer.TakeData();
}

QByteArray StoredChoices(const QStringList& AChoiceIDs) {
    TStreamWriter writer;
    writer.WriteInt32(static_cast<std::int32_t>(AChoiceIDs.size()));
    for (const QString& id : AChoiceIDs)
        writer.WriteAnsiString(id);
    return writer.TakeData();
}

QByteArray StoredTextBoxes(const QList<QPair<QString, QString>>& ABoxes) {
    TStreamWriter writer;
    writer.WriteInt32(static_cast<std::int32_t>(ABoxes.size()));
    for (const auto& [id, value] : ABoxes) {
        writer.WriteAnsiString(id);
        writer.WriteUtf8String(value);
    }
    return writer.TakeData();
}

QByteArray ShippedResource(const QString& ARelative) {
    QFile file(QStringLiteral(PLOVANE_RESOURCES_DIR "/") + ARelative);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << ARelative.toStdString();
    return file.readAll();
}
