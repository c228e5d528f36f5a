#pragma once

// Drives one internal plugin the way the program does: discovery through a real host (with the
// plugin's shipped files in a temporary modules folder), then the batch-time calls with the
// property values delivered from stored streams or from the declaration defaults. Shared by the
// tests of the text plugins.

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <mutex>
#include <ostream>

#include "plugin_host/internal_plugin_registry.h"
#include "plugin_host/plugin_contract.h"
#include "tests/support/temp_folders.h"

class TPluginHost;
class TPluginInternal;
class TPluginStoredLibInfo;

// Lets GoogleTest show QString values as text in failure messages.
inline void PrintTo(const QString& AText, std::ostream* AOut) {
    *AOut << '"' << AText.toStdString() << '"';
}

// Collects the problem reports of a batch; safe to call from several workers at once.
class TRecordingWorkSink : public IExeWorkCallbacks {
public:
    void ExeHandleWorkPathErrorMsg(const QString& AErrorMsg, const QString& AAdviceMsg) override;
    void ExeHandleWorkPathErrorMsgW(const QString& AErrorMsg, const QString& AAdviceMsg) override;
    void ExeRequestAddPathToBatch(const QString& APath) override;

    // Error messages in the order they came.
    QStringList Errors() const;
    // Whether any report carried an advice text (the text plugins never give one).
    bool AnyAdvice() const;
    // Paths the plugin asked to add to the batch, in the order asked.
    QStringList AddedPaths() const;
    void Clear();

private:
    mutable std::mutex FLock;
    QStringList FErrors;
    QStringList FAddedPaths;
    bool FAnyAdvice = false;
};

class TPluginBatchHarness {
public:
    using TFactory = std::function<std::unique_ptr<TPluginInternal>()>;

    // Copies resources/modules/Internal/<AName>/ into the temporary modules folder and discovers
    // the plugin made by AFactory under that name.
    TPluginBatchHarness(const QString& AName, TFactory AFactory);
    ~TPluginBatchHarness();
    TPluginBatchHarness(const TPluginBatchHarness&) = delete;
    TPluginBatchHarness& operator=(const TPluginBatchHarness&) = delete;

    const TTempFolder& Temp() const { return FTemp; }
    TPluginStoredLibInfo& Descriptor() const;
    // The plugin's folder: the modules folder, "Internal/" and the name, with the separator.
    QString PluginFolder() const;

    // Work start with the batch root; every declared property in declaration order gets the
    // stored stream given for it, or (when none is given) its declaration defaults; work start
    // done. The recording sink serves the work callbacks until End().
    void Start(const QString& ARootBatchPath, const QHash<QString, QByteArray>& AStored = {});
    // One PluginWorkPath call; returns the output path the plugin left.
    QString Work(const QString& APath) const;
    void End();
    // Start, Work for each path in order, End; returns the output paths.
    QStringList Run(const QString& ARootBatchPath, const QHash<QString, QByteArray>& AStored,
                    const QStringList& APaths);

    TRecordingWorkSink& Sink() { return FSink; }

private:
    TTempFolder FTemp;
    QString FName;
    TCollectionInternalPluginTypes FRegistry;
    std::unique_ptr<TPluginHost> FHost;
    TRecordingWorkSink FSink;
    bool FBatchOpen = false;
};

// Stored value streams as the editor pages write them.
QByteArray StoredGrid(const QStringList& AColumns, const QList<QStringList>& ARows);
QByteArray StoredFile(const QString& ADocument);
QByteArray StoredChoices(const QStringList& AChoiceIDs);
QByteArray StoredTextBoxes(const QList<QPair<QString, QString>>& ABoxes);

// A file shipped below resources/ in the source tree.
QByteArray ShippedResource(const QString& ARelative);
