#include "tests/plugin_host/external_plugin_fixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "base/exceptions.h"
#include "plugin_host/plugin_descriptor.h"

std::string U8(const QString& AText) {
    return AText.toStdString();
}

QString Built(const char* APath) {
    return QString::fromUtf8(APath);
}

QString ErrorOf(const std::function<void()>& ACall) {
    try {
        ACall();
    } catch (const EqvException& e) {
        return e.Message();
    }
    return QStringLiteral("<no error>");
}

QString Unassigned(const QString& AWho, const QString& AFunction, const QString& AOn) {
    return AWho + QStringLiteral(" tryed to call function \"") + AFunction +
           QStringLiteral("\" on ") + AOn + QStringLiteral(" which handler is unassigned");
}

void TRecordingWorkSink::ExeHandleWorkPathErrorMsg(const QString& AErrorMsg,
                                                   const QString& AAdviceMsg) {
    Record(AErrorMsg, AAdviceMsg);
}

void TRecordingWorkSink::ExeHandleWorkPathErrorMsgW(const QString& AErrorMsg,
                                                    const QString& AAdviceMsg) {
    Record(AErrorMsg, AAdviceMsg);
}

void TRecordingWorkSink::ExeRequestAddPathToBatch(const QString& APath) {
    const std::lock_guard lock(FLock);
    FAddedPaths << APath;
}

std::vector<std::pair<QString, QString>> TRecordingWorkSink::Reports() const {
    const std::lock_guard lock(FLock);
    return FReports;
}

void TRecordingWorkSink::Record(const QString& AErrorMsg, const QString& AAdviceMsg) {
    const std::lock_guard lock(FLock);
    FReports.emplace_back(AErrorMsg, AAdviceMsg);
    if (FRefuse)
        throw EqvValueOutOfValidRangeError(
            QStringLiteral("no worker is registered for this thread"));
}

void ExternalPluginsTest::SetUp() {
    FModules = FTemp.MakeFolder(QStringLiteral("modules"));
    FExternal = FTemp.MakeFolder(QStringLiteral("modules/External"));
    FValueFolder = FTemp.MakeFolder(QStringLiteral("temp"));
    FLog.FLogFileName = FTemp.Path(QStringLiteral("program.log"));
    // The test libraries write their loading and calls here.
    FEventsEnv.emplace("PLOVANE_TEST_PLUGIN_EVENTS",
                       QFile::encodeName(FTemp.Path(QStringLiteral("events.txt"))));
    // A batch empties its work folder to the trash: a private one.
    FDataHome.emplace("XDG_DATA_HOME", QFile::encodeName(FTemp.MakeFolder(QStringLiteral("xdg"))));
    FInput = FTemp.MakeFolder(QStringLiteral("in"));
    FWorkDir = FTemp.MakeFolder(QStringLiteral("work"));
}

void ExternalPluginsTest::TearDown() {
    FHost.reset();
    FDataHome.reset();
    FEventsEnv.reset();
}

TTestBatchResult ExternalPluginsTest::RunBatch(
    const std::vector<TTestCombination>& ACombinations,
    const std::function<void(const QString&)>& AOnEntry) {
    TTestBatchResult result;
    std::mutex lock;
    TBatchEngineSetup setup;
    setup.Settings.InputDirPath = FInput;
    setup.Settings.WorkDirPath = FWorkDir;
    setup.Settings.OnlyCopyHandledPaths = false;
    setup.Settings.MaxWorkerThreads = 2;
    for (const TTestCombination& combination : ACombinations) {
        TBatchCombination entry;
        entry.Filter = combination.Filter;
        entry.Props.LibInfo_Ref = combination.Plugin;
        entry.Props.LibProps_Ref = combination.Stored;
        setup.Combinations.push_back(std::move(entry));
    }
    setup.Host = FHost.get();
    setup.TempFolder = FValueFolder;
    setup.ProgramLog = &FLog;
    setup.LogWriter = [&](const QString& AEntry) {
        {
            const std::lock_guard guard(lock);
            result.Entries << AEntry;
        }
        if (AOnEntry)
            AOnEntry(AEntry);
    };
    setup.OnException = [&](const std::exception& AError) {
        const std::lock_guard guard(lock);
        result.Failure = ExceptionMessage(AError);
    };
    TBatchEngine engine(std::move(setup));
    engine.Resume();
    engine.WaitFor();
    result.Problems = engine.ProblemCounts();
    return result;
}

QString ExternalPluginsTest::Install(const QString& ABuilt, const QString& ARelative) {
    const QString target = FExternal + ARelative;
    QDir().mkpath(QFileInfo(target).absolutePath());
    EXPECT_TRUE(QFile::copy(ABuilt, target)) << U8(target);
    return target;
}

QString ExternalPluginsTest::InstallExample(const QString& AFolder) {
    const QString built = Built(EXAMPLE_PLUGIN_PATH);
    const QString library = Install(built, AFolder + QStringLiteral("/example_plugin.so"));
    EXPECT_TRUE(QFile::copy(QFileInfo(built).absolutePath() + QStringLiteral("/default.txt"),
                            FExternal + AFolder + QStringLiteral("/default.txt")));
    return library;
}

TPluginHost& ExternalPluginsTest::Discover() {
    FHost.reset();
    FHost =
        std::make_unique<TPluginHost>(FRegistry, TPluginHostSetup{FModules, FValueFolder, &FLog});
    FHost->Discover();
    return *FHost;
}

TPluginStoredLibInfo* ExternalPluginsTest::ByPath(const QString& APathName) const {
    for (const auto& descriptor : FHost->PluginList())
        if (descriptor->FPluginPathName == APathName)
            return descriptor.get();
    return nullptr;
}

QStringList ExternalPluginsTest::Events() const {
    return QString::fromUtf8(FTemp.ReadFile(QStringLiteral("events.txt")))
        .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QString ExternalPluginsTest::ProgramLog() const {
    return QString::fromUtf8(FTemp.ReadFile(QStringLiteral("program.log")));
}

QString ExternalPluginsTest::FailureEntryFor(const QString& APathName) const {
    const QString message =
        QStringLiteral("Message: \"") + APathName + QStringLiteral("\" failed under loading.\r\n");
    for (const QString& entry : ProgramLog().split(QStringLiteral("--Combined--")))
        if (entry.contains(message))
            return entry;
    return {};
}
