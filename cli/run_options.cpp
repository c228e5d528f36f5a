#include "cli/run_options.h"

#include <QFileInfo>

#include "app/program_options.h"
#include "cli/run_texts.h"
#include "project/headless_run.h"
#include "translation/translated_text.h"

namespace {

const QString KOptionThreads = QStringLiteral("--threads");
const QString KOptionDataRoot = QStringLiteral("--data-root");

QString OptionError(const TqvlgNativeText& AText, const QString& AOption) {
    return TranslatedMessage(AText, {{QStringLiteral("dynOption"), AOption}});
}

constexpr int KLineWidth = 80;
constexpr int KOptionColumn = 20;

// The words of a text in lines of at most AWidth characters (a longer word stands alone), each
// line after AIndent spaces; the first line's indent is left to the caller.
QString Wrapped(const QString& AText, int AIndent, int AWidth) {
    QString result;
    int column = AIndent;
    bool lineEmpty = true;
    for (const QString& word : AText.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (!lineEmpty && column + 1 + word.size() > AWidth) {
            result += QLatin1Char('\n') + QString(AIndent, QLatin1Char(' '));
            column = AIndent;
            lineEmpty = true;
        }
        if (!lineEmpty) {
            result += QLatin1Char(' ');
            ++column;
        }
        result += word;
        column += static_cast<int>(word.size());
        lineEmpty = false;
    }
    return result + QLatin1Char('\n');
}

QString OptionLine(const QString& AOption, const TqvlgNativeText& ADescription) {
    QString line = QStringLiteral("  ") + AOption;
    line += line.size() < KOptionColumn
                ? QString(KOptionColumn - line.size(), QLatin1Char(' '))
                : QLatin1Char('\n') + QString(KOptionColumn, QLatin1Char(' '));
    return line + Wrapped(TranslatedMessage(ADescription), KOptionColumn, KLineWidth);
}

QString ExitCodeLine(int ACode, const TqvlgNativeText& AMeaning) {
    QString line = QStringLiteral("  ") + QString::number(ACode);
    line += QString(6 - line.size(), QLatin1Char(' '));
    return line + Wrapped(TranslatedMessage(AMeaning), 6, KLineWidth);
}

}  // namespace

QString RunUsageText(const QString& AOptionsFile) {
    const QString usage = TranslatedMessage(KTextRunUsageWord) + QStringLiteral(": ");
    QString text =
        usage +
        QStringLiteral(
            "plovane-run [--threads N] [--data-root DIR] [--quiet | --json] PROJECT.plv\n") +
        QString(usage.size(), QLatin1Char(' ')) +
        QStringLiteral("plovane-run [--data-root DIR] --list-plugins\n\n");
    text += Wrapped(TranslatedMessage(KTextRunUsagePurpose), 0, KLineWidth) + QLatin1Char('\n');
    text += OptionLine(QStringLiteral("--threads N"), KTextRunUsageThreads);
    text += OptionLine(QStringLiteral("--data-root DIR"), KTextRunUsageDataRoot);
    text += OptionLine(QStringLiteral("--quiet"), KTextRunUsageQuiet);
    text += OptionLine(QStringLiteral("--json"), KTextRunUsageJson);
    text += OptionLine(QStringLiteral("--list-plugins"), KTextRunUsageListPlugins);
    text += OptionLine(QStringLiteral("--version"), KTextRunUsageVersion);
    text += OptionLine(QStringLiteral("--help"), KTextRunUsageHelp);
    text += QLatin1Char('\n') + Wrapped(TranslatedMessage(KTextRunUsageCtrlC), 0, KLineWidth);
    text += QLatin1Char('\n') +
            Wrapped(TranslatedMessage(KTextRunUsageSafeMode,
                                      {{QStringLiteral("dynSection"), KOptionsSectionSecurity},
                                       {QStringLiteral("dynKey"), KOptionsKeyHumanSafeMode},
                                       {QStringLiteral("dynDirFilePathName"), AOptionsFile}}),
                    0, KLineWidth);
    text += QLatin1Char('\n') + TranslatedMessage(KTextRunUsageExitCodes) + QStringLiteral(":\n");
    text += ExitCodeLine(KExitDone, KTextRunExitDone);
    text += ExitCodeLine(KExitDoneWithProblems, KTextRunExitDoneWithProblems);
    text += ExitCodeLine(KExitInterrupted, KTextRunExitInterrupted);
    text += ExitCodeLine(KExitProjectInvalid, KTextRunExitProjectInvalid);
    text += ExitCodeLine(KExitBatchNotRun, KTextRunExitBatchNotRun);
    text += ExitCodeLine(KExitUsage, KTextRunExitUsage);
    return text;
}

QString RunVersionText() {
    return QStringLiteral("plovane-run (Plovane) " PLOVANE_VERSION_STRING "\n");
}

QString DataRootArgument(const QStringList& AArguments) {
    const qsizetype at = AArguments.lastIndexOf(KOptionDataRoot);
    if (at < 0 || at + 1 >= AArguments.size() || AArguments[at + 1].isEmpty())
        return {};
    return QFileInfo(AArguments[at + 1]).absoluteFilePath();
}

std::optional<TRunOptions> ParseRunOptions(const QStringList& AArguments, QString* AError) {
    TRunOptions options;
    for (qsizetype i = 0; i < AArguments.size(); ++i) {
        const QString& arg = AArguments[i];
        const auto value = [&]() -> std::optional<QString> {
            if (i + 1 >= AArguments.size())
                return std::nullopt;
            return AArguments[++i];
        };
        if (arg == QStringLiteral("--help") || arg == QStringLiteral("-h")) {
            options.Help = true;
        } else if (arg == QStringLiteral("--quiet") || arg == QStringLiteral("-q")) {
            options.Quiet = true;
        } else if (arg == QStringLiteral("--version")) {
            options.Version = true;
        } else if (arg == QStringLiteral("--json")) {
            options.Json = true;
        } else if (arg == QStringLiteral("--list-plugins")) {
            options.ListPlugins = true;
        } else if (arg == KOptionThreads) {
            const std::optional<QString> text = value();
            bool ok = false;
            const int threads = text ? text->toInt(&ok) : 0;
            if (!ok || threads < 1 || threads > 81) {
                *AError = OptionError(KTextRunThreadsWrong, arg);
                return std::nullopt;
            }
            options.Threads = threads;
        } else if (arg == KOptionDataRoot) {
            const std::optional<QString> text = value();
            if (!text || text->isEmpty()) {
                *AError = OptionError(KTextRunDataRootMissing, arg);
                return std::nullopt;
            }
            options.DataRoot = QFileInfo(*text).absoluteFilePath();
        } else if (arg.startsWith(QLatin1Char('-'))) {
            *AError = OptionError(KTextRunUnknownOption, arg);
            return std::nullopt;
        } else if (options.ProjectPath.isEmpty()) {
            options.ProjectPath = QFileInfo(arg).absoluteFilePath();
        } else {
            *AError = TranslatedMessage(KTextRunOneProjectOnly);
            return std::nullopt;
        }
    }
    if (!options.Help && !options.Version && !options.ListPlugins &&
        options.ProjectPath.isEmpty()) {
        *AError = TranslatedMessage(KTextRunNoProject);
        return std::nullopt;
    }
    return options;
}
