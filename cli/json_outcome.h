#pragma once

#include <QByteArray>

struct TBatchRunResult;

// The outcome of a run as one line of JSON, for scripts ("--json"):
//   status      "done", "done with problems", "interrupted", "project invalid" or "not run"
//   exitCode    the exit code of the run
//   batchLog    the batch log's path, or null when no batch ran
//   pathsToDo   the batch's estimate of the paths to do
//   itemsDone   the items done
//   problems    the problems counted
//   endedEarly  true when an error ended the batch before its end
//   timeUsedMs  the batch's time in milliseconds
// AResult is null when no batch ran; the numbers are then 0.
QByteArray RunOutcomeJson(int AExitCode, const TBatchRunResult* AResult);
