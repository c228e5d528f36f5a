#include "cli/json_outcome.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

#include "batch/batch_runner.h"
#include "project/headless_run.h"

namespace {

// Fixed English words: scripts compare them, whatever the language of the texts.
QString StatusWord(int AExitCode) {
    switch (AExitCode) {
        case KExitDone:
            return QStringLiteral("done");
        case KExitDoneWithProblems:
            return QStringLiteral("done with problems");
        case KExitInterrupted:
            return QStringLiteral("interrupted");
        case KExitProjectInvalid:
            return QStringLiteral("project invalid");
        default:
            return QStringLiteral("not run");
    }
}

}  // namespace

QByteArray RunOutcomeJson(int AExitCode, const TBatchRunResult* AResult) {
    QJsonObject object;
    object.insert(QStringLiteral("status"), StatusWord(AExitCode));
    object.insert(QStringLiteral("exitCode"), AExitCode);
    object.insert(QStringLiteral("batchLog"), AResult != nullptr && !AResult->LogPath.isEmpty()
                                                  ? QJsonValue(AResult->LogPath)
                                                  : QJsonValue());
    object.insert(QStringLiteral("pathsToDo"), AResult != nullptr ? AResult->PathsToDo : 0);
    object.insert(QStringLiteral("itemsDone"), AResult != nullptr ? AResult->ItemsDone : 0);
    object.insert(QStringLiteral("problems"), AResult != nullptr ? AResult->Problems.Total() : 0);
    object.insert(QStringLiteral("endedEarly"), AResult != nullptr && AResult->Failed);
    object.insert(QStringLiteral("timeUsedMs"),
                  AResult != nullptr ? static_cast<double>(AResult->ElapsedMs) : 0.0);
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}
