#pragma once

// The module configuration stream: a project's whole combination list (filters, plugins and
// every stored property value) as one binary stream, and its hexadecimal text form, which the
// project file keeps under "ModulesConf".
//
// Layout (field encodings of base/stream_fields.h): Int32 EntryCount; per entry: UTF-8-string
// Filter, Byte HasPlugin (1: a plugin block follows), then PluginStrID (UTF-8-string), Int32
// PropCount and per property its name (UTF-8-string), Int32 ValueSize and ValueSize bytes of the
// stored value stream. Text form: the bytes last to first, two upper-case hex digits each.

#include <QByteArray>
#include <QString>

#include <vector>

#include "project/combination_list.h"

class TqvLogging;

// A stored combination that reading left out.
struct TDroppedCombination {
    enum class TReason {
        NoPlugin,            // stored without a plugin
        PluginNotInstalled,  // no plugin with that identifier exists
        FilterNotAccepted    // the plugin refuses the filter's kind
    };
    int Position = 0;  // 1-based position in the stored list
    QString Filter;
    QString PluginStrID;
    TReason Reason = TReason::PluginNotInstalled;
};

// One line telling the user what was left out and why.
QString DroppedCombinationText(const TDroppedCombination& ADropped);

// What reading a stream gives: the entries to show and those left out.
struct TModuleConfigContent {
    std::vector<TCombinationEntry> Entries;
    std::vector<TDroppedCombination> Dropped;
};

// The stream of the list's entries in run order, each with every property its plugin declares
// now (an entry without a stream for a property stores it empty).
QByteArray OwnSavePerstStreamData_Memory(const TCombinationList& AList);
QString OwnSavePerstStreamData_HexStr(const TCombinationList& AList);

// Reads a stream without touching the list's entries (its filters are registered in the list's
// pattern registry). Entries whose plugin is missing or refuses the filter are left out and
// listed. A damaged stream (too short, a negative count, a ValueSize beyond the bytes that
// remain, bytes after the last entry) or a property its plugin does not declare raises an error
// naming AProjectFile.
TModuleConfigContent ReadModuleConfig(TCombinationList& AList, const QByteArray& AStream,
                                      const QString& AProjectFile);

// Reads the stream and, only when all of it could be read, replaces the list's entries. The
// combinations left out are returned and, when ALog is given, written to the program log.
std::vector<TDroppedCombination> OwnLoadPerstStreamData_Memory(TCombinationList& AList,
                                                               const QByteArray& AStream,
                                                               const QString& AProjectFile,
                                                               TqvLogging* ALog = nullptr);
std::vector<TDroppedCombination> OwnLoadPerstStreamData_HexStr(TCombinationList& AList,
                                                               const QString& AHexStr,
                                                               const QString& AProjectFile,
                                                               TqvLogging* ALog = nullptr);

// The text form and back. Reading raises EqvValueOutOfValidRangeError naming AProjectFile for an
// odd number of digits or a pair that is not hexadecimal.
QString StreamToHexText(const QByteArray& AStream);
QByteArray HexTextToStream(const QString& AHexText, const QString& AProjectFile);

// Writes one program log entry per combination left out of the project file.
void LogDroppedCombinations(TqvLogging& ALog, const QString& AProjectFile,
                            const std::vector<TDroppedCombination>& ADropped);
