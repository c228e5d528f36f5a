#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Starting other programs directly (no shell in between): an executable file with its
// arguments exactly as given, in a working folder of its own, with standard input from
// /dev/null unless input is handed to it. A relative program path is taken from the current
// folder; a file without a "#!" line is run by /bin/sh.

struct TChildProgramRequest {
    QString Program;        // path of an executable file
    QStringList Arguments;  // the arguments after the program's own name
    QString WorkFolder;     // empty: the current folder
};

struct TChildProgramResult {
    bool Started = false;
    QString StartError;  // why it could not be started (Started false)
    int ExitCode = -1;   // -1 when it was ended by a signal
    int Signal = 0;      // the signal that ended it, or 0
    QByteArray Output;   // its standard and error output, when captured
};

// Starts the program and returns at once. The program is not left as this process's child, so
// it never lingers as a zombie and nobody waits for it; its standard streams are /dev/null.
// Empty on success, else why it could not be started.
QString StartChildProgramDetached(const TChildProgramRequest& ARequest);

// Starts the program and waits until it has ended. With ACaptureOutput its standard and error
// output are collected (otherwise it writes where this process writes), and AInput is fed to
// its standard input, which is then closed.
TChildProgramResult RunChildProgram(const TChildProgramRequest& ARequest, bool ACaptureOutput,
                                    const QByteArray& AInput = {});

// Splits a parameter text into words the way a shell splits unquoted text: blanks (spaces,
// tabs, line breaks) separate words, double quotes group blanks into one word and are removed,
// and "" gives an empty word.
QStringList SplitShellWords(const QString& AText);
// The same, with AValue put where APlaceholder stands in the text as typed (with regard to
// case), after the text has been split: the value is taken as it is, so its blanks and quotes
// never make more or fewer words, and a placeholder standing alone is one word even when the
// value is empty.
QStringList SplitShellWords(const QString& AText, const QString& APlaceholder,
                            const QString& AValue);

// An executable file of that name in the folders of PATH, or empty. A name holding a separator
// is returned as given when it names an executable file.
QString FindExecutableInPath(const QString& AName);

// Whether APath names a regular file (following links) that this process may execute.
bool IsExecutableFile(const QString& APath);

// A short reason for a program's end: "exit code 3" or "ended by signal 9".
QString DescribeProgramEnd(const TChildProgramResult& AResult);
