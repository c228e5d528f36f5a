// The project file loader: the input is a project file. Loading must either refuse it with one
// of the program's errors, leaving the open project as it was, or load it; the file itself is
// never written by a load. A loaded project is saved under another name and loads from there
// with the same settings and combinations.
#include <QDir>
#include <QFile>

#include <memory>

#include "app/module_shared.h"
#include "base/exceptions.h"
#include "plugin_host/plugin_descriptor.h"
#include "project/project_file.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

// A real application module on temporary folders with the standard test plugins in its modules
// folder; made once per process.
struct TProjectSurroundings {
    TProjectSurroundings() {
        TModuleEnvironment environment;
        environment.ProgramFolder = Temp.MakeFolder(QStringLiteral("prog"));
        environment.DocumentsFolder = Temp.MakeFolder(QStringLiteral("home/Documents"));
        Module = std::make_unique<TModuleShared>(std::move(environment));
        Plugins = std::make_unique<TTestPluginSet>(Module->Folders().ModulesFolder,
                                                   Module->Folders().TempFolder, &Module->FLogging);
        AddStandardTestPlugins(*Plugins);
        Plugins->Discover();
    }
    TTempFolder Temp;
    std::unique_ptr<TModuleShared> Module;
    std::unique_ptr<TTestPluginSet> Plugins;
};

TProjectSurroundings& Surroundings() {
    static TProjectSurroundings* surroundings = new TProjectSurroundings();
    return *surroundings;
}

QString Described(const TProjectController& AProject) {
    const TProjectGeneralSettings& s = AProject.GeneralSettings();
    // Not the sub-folder switch: it shares its key with the thread count, which is at least 1
    // once saved, so a file holding 0 there loads with the switch off only until it is saved.
    QString text = s.InputDirPath + QLatin1Char('|') + s.WorkDirPath +
                   QStringLiteral("|%1%2%3|%4")
                       .arg(int(s.OnlyCopyHandledPaths))
                       .arg(int(s.DeleteWorkDirFiles))
                       .arg(int(s.InputDirIsWorkDir))
                       .arg(s.MaxWorkerThreads);
    for (const TCombinationEntry& entry : AProject.Combinations().Entries()) {
        text += QLatin1Char('|') + entry.Pattern->PatType + QLatin1Char('>') +
                entry.Plugin->FPluginInfoHost.StrID;
        for (const auto& [name, stream] : entry.Values)
            text +=
                QLatin1Char(' ') + name + QLatin1Char('=') + QString::fromLatin1(stream.toHex());
    }
    return text;
}

bool WriteWhole(const QString& APath, const QByteArray& ABytes) {
    QFile file(APath);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(ABytes) == ABytes.size();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* AData, std::size_t ASize) {
    TProjectSurroundings& s = Surroundings();
    const QByteArray bytes = FuzzBytes(AData, ASize);
    const QString path = s.Temp.Path(QStringLiteral("fuzz.plv"));
    const QString copy = s.Temp.Path(QStringLiteral("saved.plv"));
    if (!WriteWhole(path, bytes))
        FuzzFinding("cannot write the input file");
    QFile::remove(copy);
    QFile::remove(s.Temp.Path(QStringLiteral("saved.~plv")));

    TProjectController project(TProjectEnvironment::FromModule(*s.Module, s.Plugins->Host()));
    project.LoadProject(QString(), true);
    const QString before = Described(project);
    bool loaded = true;
    try {
        project.LoadProject(path, false);
    } catch (const EqvException&) {
        loaded = false;
    }
    if (ReadWholeFile(path) != bytes)
        FuzzFinding("loading changed the project file");
    if (!loaded) {
        if (Described(project) != before)
            FuzzFinding("a refused project changed the open one");
        return 0;
    }
    const QString loadedProject = Described(project);
    s.Module->FProgramOptions->SetProjectCurrentFilePath(copy);
    if (!project.Save())
        return 0;  // such as a folder name that a project file cannot hold: told and logged
    TProjectController again(TProjectEnvironment::FromModule(*s.Module, s.Plugins->Host()));
    try {
        again.LoadProject(copy, false);
    } catch (const EqvException& error) {
        FuzzFinding("a saved project cannot be loaded:", error.Message());
    }
    if (Described(again) != loadedProject)
        FuzzFinding("a saved project loads differently:",
                    Described(again) + QStringLiteral(" instead of ") + loadedProject);
    return 0;
}
