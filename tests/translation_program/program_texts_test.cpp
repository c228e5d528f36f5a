// The texts of "UTF8_program.ini": the registry the subsystems keep, the shipped German
// translation checked against it, and real messages of the program in both languages.
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>

#include <gtest/gtest.h>

#include <optional>

#include <functional>
#include <map>

#include "app/app_texts.h"
#include "app/module_shared.h"
#include "app/user_prompts.h"
#include "base/exceptions.h"
#include "batch/batch_runner.h"
#include "batch/batch_texts.h"
#include "cli/run_options.h"
#include "cli/run_texts.h"
#include "plugin_host/internal_plugin_registry.h"
#include "plugin_host/plugin_host.h"
#include "plugin_host/plugin_host_texts.h"
#include "project/combination_list.h"
#include "project/headless_run_texts.h"
#include "project/module_config_stream.h"
#include "project/project_file.h"
#include "project/project_texts.h"
#include "tests/support/qstring_print.h"
#include "tests/support/scoped_env.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/temp_folders.h"
#include "translation/builtin_texts.h"
#include "translation/language_controller.h"
#include "translation/translated_text.h"
#ifdef PLOVANE_HAS_UI
#include "ui/main_window/front_texts.h"
#include "ui/modules_editor/modules_editor_texts.h"
#include "ui/options/options_texts.h"
#include "ui/property_pages/property_page_texts.h"
#endif

namespace {

QString SourcePath(const QString& ARelative) {
    return QString::fromUtf8(PLOVANE_SOURCE_DIR) + QLatin1Char('/') + ARelative;
}

QString ShippedGerman(const QString& ATransID) {
    return SourcePath(QStringLiteral("resources/trans/de-de/") + ATransID);
}

// Every message text of "UTF8_program.ini", collected from the subsystems that show them.
std::vector<TqvlgNativeText> ProgramNativeTexts() {
    std::vector<TqvlgNativeText> all;
    for (const std::vector<TqvlgNativeText>& part :
         {AppNativeTexts(), PluginHostNativeTexts(), BatchRunnerNativeTexts(), ProjectNativeTexts(),
          HeadlessRunNativeTexts(), RunNativeTexts()
#ifdef PLOVANE_HAS_UI
                                        ,
          FrontMainNativeTexts(), OptionsHelpNativeTexts(), ModulesEditorNativeTexts(),
          PropertyPageNativeTexts()
#endif
         })
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

// The variable names in braces of a text, as written.
QSet<QString> BraceNames(const QString& AText) {
    static const QRegularExpression KBraces(QStringLiteral("\\{([^{}]*)\\}"));
    QSet<QString> names;
    for (const QRegularExpressionMatch& m : KBraces.globalMatch(AText))
        names.insert(m.captured(1));
    return names;
}

std::string Where(const TqvlgNativeText& AText) {
    return (AText.Section + QLatin1Char('/') + AText.Key).toStdString();
}

TEST(ProgramTexts, EachTextHasOneKeyInTheProgramFileAndATemplateExactlyWhenItHasVariables) {
    const std::vector<TqvlgNativeText> texts = ProgramNativeTexts();
    ASSERT_FALSE(texts.empty());
    QSet<QString> seen;
    for (const TqvlgNativeText& text : texts) {
        SCOPED_TRACE(Where(text));
        EXPECT_EQ(text.TransID, KTransIdProgram);
        EXPECT_TRUE(text.Section.startsWith(QStringLiteral("__"))) << "a section name";
        EXPECT_EQ(TqvlgLanguageController::MakeKeySafe(text.Key).remove(QLatin1Char('_')),
                  QString(text.Key).remove(QLatin1Char('_')))
            << "a key of letters, digits and underscores";
        EXPECT_FALSE(text.Native.isEmpty());
        // Two subsystems using one key would overwrite each other's native text.
        EXPECT_FALSE(seen.contains(text.Section + QLatin1Char('|') + text.Key))
            << "registered twice";
        seen.insert(text.Section + QLatin1Char('|') + text.Key);
        EXPECT_EQ(text.TmplSysName, BraceNames(text.Native).isEmpty() ? QString() : KTemplateCurly);
    }
}

TEST(GermanProgramTranslation, HoldsEveryProgramTextWithItsVariablesAndNothingElse) {
    const QByteArray bytes = ReadWholeFile(ShippedGerman(KTransIdProgram));
    ASSERT_FALSE(bytes.isEmpty());
    EXPECT_EQ(bytes.count('\n'), bytes.count("\r\n")) << "every line ends with CR LF";
    EXPECT_TRUE(QString::fromUtf8(bytes).toUtf8() == bytes) << "valid UTF-8";
    const TIniDocument german = TIniDocument::FromBytes(bytes);

    // The metadata of the other German files, with the same keys.
    const TIniDocument shared =
        TIniDocument::FromBytes(ReadWholeFile(ShippedGerman(KTransIdShared)));
    const QString meta = QStringLiteral("MetaData");
    EXPECT_EQ(german.KeyNames(meta), shared.KeyNames(meta));
    for (const char16_t* key : {u"Lingua_ID", u"Lingua_Desc", u"Document_LastUpdateProgram"})
        EXPECT_EQ(german.ReadString(meta, QString::fromUtf16(key)),
                  shared.ReadString(meta, QString::fromUtf16(key)));

    // Section "StrsRes<section>" -> the keys the registered texts allow there.
    std::map<QString, QSet<QString>> allowed;
    for (const TqvlgNativeText& text : ProgramNativeTexts()) {
        SCOPED_TRACE(Where(text));
        const QString section = QStringLiteral("StrsRes") + text.Section;
        const QString valueKey = text.Key + QStringLiteral("__Value");
        const QString templateKey = text.Key + QStringLiteral("__Template");
        allowed[section] << valueKey << templateKey;

        ASSERT_TRUE(german.ValueExists(section, valueKey)) << "no German text";
        const QString stored = german.ReadString(section, valueKey);
        const QString value = UnescapeTransValue(stored);
        EXPECT_FALSE(value.trimmed().isEmpty());
        EXPECT_EQ(value.trimmed(), value) << "no blanks around it: the program joins words";
        // "&", "<" and ">" must be written as their escapes, or reading would change them.
        EXPECT_EQ(EscapeTransValue(value), stored);
        EXPECT_EQ(BraceNames(value), BraceNames(text.Native));
        EXPECT_EQ(value.count(QStringLiteral("\r\n")), text.Native.count(QStringLiteral("\r\n")))
            << "line breaks as in English";
        // Without its template the German text would show its braces.
        EXPECT_EQ(german.ReadString(section, templateKey), text.TmplSysName);
        EXPECT_EQ(german.ValueExists(section, templateKey), !text.TmplSysName.isEmpty());
    }

#ifdef PLOVANE_HAS_UI
    // Window texts ("StrsGui...") are checked against the windows by the window tests.
    QStringList sections;
    for (const QString& section : german.SectionNames())
        if (section != meta && section.startsWith(QLatin1String("StrsRes")))
            sections << section;
    QStringList expectedSections;
    for (const auto& [section, keys] : allowed)
        expectedSections << section;
    sections.sort();
    EXPECT_EQ(sections, expectedSections);
    for (const QString& section : sections) {
        const QStringList keys = german.KeyNames(section);
        EXPECT_EQ(QSet<QString>(keys.begin(), keys.end()).size(), keys.size())
            << section.toStdString() << ": a key written twice";
        for (const QString& key : keys)
            EXPECT_TRUE(allowed[section].contains(key))
                << section.toStdString() << ": " << key.toStdString() << " is not a program text";
    }
#else
    // Without the window its message texts are unknown here, so extra keys cannot be judged.
#endif
}

// A program text looked up with an inline key would not be in the registry and so never be
// checked against the translations: only the registries may name the program file.
TEST(ProgramTexts, OnlyTheRegistriesNameTheProgramTranslationFile) {
    const QRegularExpression namesTheFile(QStringLiteral("UTF8_program\\.ini|KTransIdProgram"));
    int filesRead = 0;
    for (const char16_t* folder :
         {u"app", u"batch", u"plugin_host", u"project", u"cli", u"plugins"}) {
        QDirIterator it(SourcePath(QString::fromUtf16(folder)),
                        {QStringLiteral("*.h"), QStringLiteral("*.cpp"), QStringLiteral("*.c")},
                        QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            if (QFileInfo(path).completeBaseName().endsWith(QStringLiteral("_texts")))
                continue;
            ++filesRead;
            EXPECT_FALSE(namesTheFile.match(QString::fromUtf8(ReadWholeFile(path))).hasMatch())
                << path.toStdString();
        }
    }
    EXPECT_GT(filesRead, 20);
}

// A program folder with the shipped German translation files (those given), a data root whose
// options choose the language, and the module, plugin host and prompts the messages go through.
class TProgramInLanguage {
public:
    TProgramInLanguage(const QString& ALanguage, const QList<QString>& AGermanFiles) {
        FDataHome.emplace("XDG_DATA_HOME", FTemp.MakeFolder(QStringLiteral("xdg")).toUtf8());
        for (const QString& transID : AGermanFiles)
            FTemp.WriteFile(QStringLiteral("prog/trans/de-de/") + transID,
                            ReadWholeFile(ShippedGerman(transID)));
        FTemp.WriteFile(QStringLiteral("root/config/options.ini"),
                        (QStringLiteral("[ProgramOptions.General]\r\nLanguageCulture=") +
                         ALanguage + QStringLiteral("\r\n"))
                            .toUtf8());
        TModuleEnvironment env;
        env.ProgramFolder = FTemp.MakeFolder(QStringLiteral("prog"));
        env.DocumentsFolder = FTemp.MakeFolder(QStringLiteral("home/Documents"));
        env.DataRootOverride = FTemp.Path(QStringLiteral("root"));
        env.Prompts = &Prompts;
        Module = std::make_unique<TModuleShared>(std::move(env));
        Host = std::make_unique<TPluginHost>(
            FRegistry, TPluginHostSetup{Module->Folders().ModulesFolder,
                                        Module->Folders().TempFolder, &Module->FLogging});
        Host->Discover();
    }
    ~TProgramInLanguage() {
        Host.reset();
        Module.reset();
        FDataHome.reset();
    }

    // The temporary folder's path in a text as "ROOT/", so expectations need not know it.
    QString Rooted(QString AText) const {
        return AText.replace(FTemp.Path(), QStringLiteral("ROOT/"));
    }
    QString Path(const QString& ARelative) const { return FTemp.Path(ARelative); }
    QString MakeFolder(const QString& ARelative) const { return FTemp.MakeFolder(ARelative); }

    TScriptedPrompts Prompts;
    std::unique_ptr<TModuleShared> Module;
    std::unique_ptr<TPluginHost> Host;

private:
    TTempFolder FTemp;
    std::optional<TScopedEnv> FDataHome;
    TCollectionInternalPluginTypes FRegistry;
};

// What the settings check asks first about a missing input directory.
QString AskedForMissingInputDir(TProgramInLanguage& AProgram) {
    TProjectGeneralSettings settings;
    // Inside the safe area: the human safe mode is checked before anything is offered.
    settings.InputDirPath = AProgram.Module->Folders().TempInputFolder + QStringLiteral("missing");
    settings.WorkDirPath = AProgram.Module->Folders().TempWorkFolder;
    TBatchRunner runner(*AProgram.Module, *AProgram.Host);
    EXPECT_FALSE(runner.ValFrameProgramSetupGeneral(settings));
    return AProgram.Prompts.Asked.value(0);
}

struct TRealMessage {
    const char* Name;
    std::function<QString(TProgramInLanguage&)> Produce;
    QString English;
    QString German;
};

std::vector<TRealMessage> RealMessages() {
    return {
        {"settings check: missing directory", AskedForMissingInputDir,
         QStringLiteral("Input Directory has to exist - create it now?"),
         QStringLiteral("Eingabeverzeichnis muss vorhanden sein - jetzt anlegen?")},
        {"settings check: outside the safe folder",
         [](TProgramInLanguage& AProgram) {
             TProjectGeneralSettings settings;
             settings.InputDirPath = AProgram.MakeFolder(QStringLiteral("elsewhere"));
             settings.WorkDirPath = AProgram.Module->Folders().TempWorkFolder;
             TBatchRunner runner(*AProgram.Module, *AProgram.Host);
             EXPECT_FALSE(runner.ValFrameProgramSetupGeneral(settings));
             return AProgram.Rooted(AProgram.Prompts.Shown.value(0));
         },
         QStringLiteral("When \"Human safe mode\" is enabled in options the \"Input Directory\" "
                        "has to be within directory \"ROOT/root/temp/input/\"\r\nIt has now been "
                        "set to that directory."),
         QStringLiteral("Wenn in den Optionen der \"Sicherheitsmodus\" eingeschaltet ist, muss "
                        "das \"Eingabeverzeichnis\" im Verzeichnis \"ROOT/root/temp/input/\" "
                        "liegen\r\nEs wurde jetzt auf dieses Verzeichnis gesetzt.")},
        {"project: missing file",
         [](TProgramInLanguage& AProgram) {
             TProjectController project(
                 TProjectEnvironment::FromModule(*AProgram.Module, *AProgram.Host));
             project.LoadProject(AProgram.Path(QStringLiteral("gone.plv")), false);
             return AProgram.Rooted(AProgram.Prompts.Shown.value(0));
         },
         QStringLiteral("The project file \"ROOT/gone.plv\" does not exist. A new project will "
                        "be created instead."),
         QStringLiteral("Die Projektdatei \"ROOT/gone.plv\" existiert nicht. Stattdessen wird "
                        "ein neues Projekt angelegt.")},
        {"project: not a project file",
         [](TProgramInLanguage& AProgram) {
             TProjectController project(
                 TProjectEnvironment::FromModule(*AProgram.Module, *AProgram.Host));
             const QString path = AProgram.Path(QStringLiteral("picture.plv"));
             QFile file(path);
             EXPECT_TRUE(file.open(QIODevice::WriteOnly));
             file.write("\x89PNG\r\n\x1a\n");
             file.close();
             try {
                 project.LoadProject(path, false);
             } catch (const EqvException& e) {
                 return AProgram.Rooted(e.Message());
             }
             return QStringLiteral("<loaded>");
         },
         QStringLiteral("The file \"ROOT/picture.plv\" is not a project file: it has no section "
                        "\"[Project Details]\"."),
         QStringLiteral("Die Datei \"ROOT/picture.plv\" ist keine Projektdatei: Ihr fehlt der "
                        "Abschnitt \"[Project Details]\".")},
        {"project: window title",
         [](TProgramInLanguage& AProgram) {
             TProjectController project(
                 TProjectEnvironment::FromModule(*AProgram.Module, *AProgram.Host));
             project.LoadProject(QString(), true);
             return project.WindowTitle(QStringLiteral("Plovane"));
         },
         QStringLiteral("Plovane - new project"), QStringLiteral("Plovane - neues Projekt")},
        {"project: dropped combination",
         [](TProgramInLanguage&) {
             TDroppedCombination dropped;
             dropped.Position = 2;
             dropped.Filter = QStringLiteral("*.htm");
             dropped.PluginStrID = QStringLiteral("zq_gone");
             dropped.Reason = TDroppedCombination::TReason::PluginNotInstalled;
             return DroppedCombinationText(dropped);
         },
         QStringLiteral("Combination 2 (filter \"*.htm\"): the plugin \"zq_gone\" is not "
                        "installed."),
         QStringLiteral("Kombination 2 (Filter \"*.htm\"): Das Plugin \"zq_gone\" ist nicht "
                        "installiert.")},
        {"pattern names",
         [](TProgramInLanguage&) {
             TPatternRegistry patterns;
             return patterns.Find(QStringLiteral(":"))->PatDescription + QLatin1Char('|') +
                    DescribePattern(QStringLiteral("/zqdir"));
         },
         QStringLiteral("Root Directory|/ZQDIR directory"),
         QStringLiteral("Stammverzeichnis|/ZQDIR-Verzeichnis")},
        {"command line: a message and a question on the terminal",
         [](TProgramInLanguage&) {
             return ConsoleLine(TPromptKind::Warning, QStringLiteral("x")) + QLatin1Char('|') +
                    ConsoleLine(TPromptKind::Confirmation, QStringLiteral("y"));
         },
         QStringLiteral("Warning: x|Question: y"), QStringLiteral("Warnung: x|Frage: y")},
        {"command line: usage error",
         [](TProgramInLanguage&) {
             QString error;
             EXPECT_FALSE(
                 ParseRunOptions({QStringLiteral("--threads"), QStringLiteral("99")}, &error));
             return error;
         },
         QStringLiteral("--threads needs a number from 1 to 81."),
         QStringLiteral("--threads braucht eine Zahl von 1 bis 81.")},
        {"plugin release state and category",
         [](TProgramInLanguage&) {
             return ReleaseStateText(PLV_RELEASE_USABLE | PLV_RELEASE_BETA |
                                     PLV_RELEASE_NOT_PROD_USE_PARTS) +
                    QLatin1Char('|') + PluginCategoryText(pcWebDevelopment);
         },
         QStringLiteral("Usable beta. Some parts not intended for production use|Web Development"),
         QStringLiteral("Brauchbar beta. Einige Teile nicht für den Produktiveinsatz "
                        "gedacht|Webentwicklung")},
    };
}

const QList<QString> KAllGermanFiles = {KTransIdGeneral, KTransIdShared, KTransIdProgram};

TEST(ProgramMessages, FollowTheLanguageOfTheOptions) {
    for (const char16_t* lan : {u"en-us", u"de-de"}) {
        const QString language = QString::fromUtf16(lan);
        const bool german = language == QStringLiteral("de-de");
        SCOPED_TRACE(language.toStdString());
        TProgramInLanguage program(language, KAllGermanFiles);
        ASSERT_EQ(program.Module->FLanguageComposite->Core().LanID_Primary(), language);
        for (const TRealMessage& message : RealMessages()) {
            program.Prompts.Asked.clear();
            program.Prompts.Shown.clear();
            EXPECT_EQ(message.Produce(program), german ? message.German : message.English)
                << message.Name;
        }
    }
}

// A German translation older than the program's texts: what it lacks comes in English, with
// the variables filled in rather than shown in braces.
TEST(ProgramMessages, TextsMissingFromTheTranslationComeInEnglishWithTheirVariablesFilled) {
    TProgramInLanguage program(QStringLiteral("de-de"), {KTransIdGeneral, KTransIdShared});
    EXPECT_EQ(AskedForMissingInputDir(program),
              QStringLiteral("Input Directory has to exist - create it now?"));
    EXPECT_EQ(TranslatedMessage(KTextErrorOccuredDetails),
              QStringLiteral("Ein Fehler ist aufgetreten"));
}

}  // namespace
