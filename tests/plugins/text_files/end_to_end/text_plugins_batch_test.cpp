// The text plugins in a whole batch: real discovery of every internal plugin, the real engine,
// and the property values as a project stores them. What the plugins do alone is covered by
// their own tests; these show that they work together through the engine (renames reaching later
// combinations, encodings kept across the copy and the rewrite, the list built from final names).

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include "tests/plugins/plugins_batch_fixture.h"

#include <optional>

#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "app/folder_walk.h"
#include "app/program_log.h"
#include "batch/batch_engine.h"
#include "platform/ansi_code_page.h"
#include "plugin_host/internal_plugin_registry.h"
#include "plugin_host/plugin_descriptor.h"
#include "plugin_host/plugin_host.h"
#include "plugins/register_all.h"
#include "tests/plugins/text_files/text_replacer/plugin_batch_harness.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_folders.h"

namespace {

QString S(const char* AText) {
    return QString::fromUtf8(AText);
}

QByteArray Utf8WithMark(const QString& AText) {
    return QByteArray("\xEF\xBB\xBF") + AText.toUtf8();
}

QByteArray Utf16LeWithMark(const QString& AText) {
    QByteArray bytes("\xFF\xFE");
    for (const QChar c : AText) {
        bytes.append(static_cast<char>(c.unicode() & 0xFF));
        bytes.append(static_cast<char>(c.unicode() >> 8));
    }
    return bytes;
}

QByteArray Ansi(const QString& AText) {
    return TAnsiCodePage::System().Encode(AText);
}

// The stored values of the property grids, one row per rule.
const QStringList KReplacerSimpleColumns = {QStringLiteral("CASE_SENSITIVE"),
                                            QStringLiteral("MATCH"), QStringLiteral("REPLACE")};
const QStringList KReplacerRegexColumns = {QStringLiteral("MODIFIERS"), QStringLiteral("MATCH"),
                                           QStringLiteral("REPLACE")};
const QStringList KFixerColumns = {
    QStringLiteral("CASE_SENSITIVE"), QStringLiteral("INCLUDE_EXTENSION"),
    QStringLiteral("ADD_INCREMENT"),  QStringLiteral("CHANGE_CASE"),
    QStringLiteral("MATCH"),          QStringLiteral("REPLACE")};

// "Old" becomes "Archived" (case matters), then the whole name, extension included, is
// lower-cased. This grid delivers its cells trimmed, so a rule cannot match blanks alone.
TStoredProps FixerProps() {
    return {
        {QStringLiteral("NameAlterations"),
         StoredGrid(KFixerColumns, {{S("1"), S("0"), S("none"), S("none"), S("Old"), S("Archived")},
                                    {S("0"), S("1"), S("none"), S("lower"), S(""), S("")}})}};
}

class TextPluginsBatchTest : public TPluginsBatchFixture {
protected:
    QString W(const QString& ARelative) const { return FWork + ARelative; }

    // Every entry below the work folder, relative, sorted; folders end with "/".
    QStringList WorkEntries() const {
        QStringList entries;
        TWalkFolderOptions walk;
        walk.Entries = &entries;
        WalkFolder(FWork, walk);
        for (QString& entry : entries)
            entry.remove(0, FWork.size());
        entries.sort();
        return entries;
    }

    // The log entries that name the work path.
    int EntriesNaming(const QString& APath) const {
        int count = 0;
        for (const QString& entry : FEntries)
            count += entry.contains(QStringLiteral("Work path: \"") + APath + u'"') ? 1 : 0;
        return count;
    }
};

// Folders are renamed first, so the replacer, the file renames and the list only find the files
// when the engine carries each rename to the paths below it and on to later combinations.
TEST_F(TextPluginsBatchTest, ProjectRewritesTextsRenamesAndListsTheFinalNames) {
    // Plain rule (case matters), then a regular expression with groups in a new order.
    const QString before =
        S("© Old Company, 2021-03-04\r\nold company: 1999-12-31 and 2000-1-2\r\n");
    const QString after =
        S("© Grün und Söhne, 04.03.2021\r\nold company: 31.12.1999 and 2000-1-2\r\n");
    FTemp.WriteFile(QStringLiteral("in/Index.htm"), Utf8WithMark(before));
    FTemp.WriteFile(QStringLiteral("in/Read Me.txt"), Utf16LeWithMark(before));
    FTemp.WriteFile(QStringLiteral("in/Old Pages/Price List.htm"), Ansi(S("Café: ") + before));
    FTemp.WriteFile(QStringLiteral("in/docs/Sub Dir/Deep Notes.txt"), (before + before).toUtf8());
    // No rule matches: the file must keep its bytes and, not being rewritten, its time.
    const QByteArray stable = Utf16LeWithMark(S("Nothing to change here, 2021/03/04.\n"));
    const QString stableInput =
        FTemp.WriteFile(QStringLiteral("in/Old Pages/Stable Page.htm"), stable);
    const QDateTime past = QDateTime::currentDateTime().addDays(-30);
    {
        QFile file(stableInput);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(past, QFileDevice::FileModificationTime));
    }
    const QString listFile = FTemp.Path(QStringLiteral("lists/paths.txt"));

    Add(QStringLiteral("/"), QStringLiteral("PathNameFixer"), FixerProps());
    Add(QStringLiteral("*.*"), QStringLiteral("TextReplacer"),
        {{QStringLiteral("Simple"),
          StoredGrid(KReplacerSimpleColumns, {{S("1"), S("Old Company"), S("Grün und Söhne")}})},
         {QStringLiteral("Regex"),
          StoredGrid(KReplacerRegexColumns,
                     {{S(""), S("(\\d{4})-(\\d{2})-(\\d{2})"), S("\\3.\\2.\\1")}})}});
    Add(QStringLiteral("*.*"), QStringLiteral("PathNameFixer"), FixerProps());
    Add(QStringLiteral("*.*"), QStringLiteral("ListPaths"),
        {{QStringLiteral("SelectOptions"),
          StoredChoices(
              {QStringLiteral("CLEAR_OUTPUT_FILE_CONTENT"), QStringLiteral("WRITE_PATHS_RELATIVE"),
               QStringLiteral("WRITE_PATHS_SORTED"), QStringLiteral("WRITE_PATHS_NEWLINE")})},
         {QStringLiteral("EditOptions"),
          StoredTextBoxes({{QStringLiteral("OUTPUT_FILE_PATH"), listFile},
                           {QStringLiteral("SEP_STR"), QStringLiteral(";")}})}});
    Run();

    EXPECT_EQ(FProblems.Total(), 0) << FEntries.join(u'\n').toStdString();
    EXPECT_EQ(
        WorkEntries(),
        QStringList({QStringLiteral("archived pages/"),
                     QStringLiteral("archived pages/price list.htm"),
                     QStringLiteral("archived pages/stable page.htm"), QStringLiteral("docs/"),
                     QStringLiteral("docs/sub dir/"), QStringLiteral("docs/sub dir/deep notes.txt"),
                     QStringLiteral("index.htm"), QStringLiteral("read me.txt")}));

    EXPECT_EQ(ReadWholeFile(W(QStringLiteral("index.htm"))), Utf8WithMark(after));
    EXPECT_EQ(ReadWholeFile(W(QStringLiteral("read me.txt"))), Utf16LeWithMark(after));
    EXPECT_EQ(ReadWholeFile(W(QStringLiteral("archived pages/price list.htm"))),
              Ansi(S("Café: ") + after));
    EXPECT_EQ(ReadWholeFile(W(QStringLiteral("docs/sub dir/deep notes.txt"))),
              (after + after).toUtf8());
    EXPECT_EQ(ReadWholeFile(W(QStringLiteral("archived pages/stable page.htm"))), stable);
    EXPECT_EQ(QFileInfo(W(QStringLiteral("archived pages/stable page.htm")))
                  .lastModified()
                  .toSecsSinceEpoch(),
              past.toSecsSinceEpoch());
    EXPECT_EQ(ReadWholeFile(FInput + QStringLiteral("Index.htm")), Utf8WithMark(before))
        << "the input folder must stay as it was";

    // Sorted: entries below folders first; the last entry's ending removed; UTF-8 without mark.
    EXPECT_EQ(ReadWholeFile(listFile), QByteArray("archived pages/price list.htm;\r\n"
                                                  "archived pages/stable page.htm;\r\n"
                                                  "docs/sub dir/deep notes.txt;\r\n"
                                                  "index.htm;\r\n"
                                                  "read me.txt"));
}

// Failures stay with their paths: a rule that does not compile and a rename onto a taken name
// are reported through the engine, nothing is overwritten, and later combinations go on with the
// names as they are.
TEST_F(TextPluginsBatchTest, FailuresAreReportedAndLaterCombinationsGoOn) {
    FTemp.WriteFile(QStringLiteral("in/Old Notes.txt"), "Old Company 2021-03-04");
    FTemp.WriteFile(QStringLiteral("in/archived notes.txt"), "taken");
    FTemp.WriteFile(QStringLiteral("in/Other File.txt"), "Old Company");

    Add(QStringLiteral("*.txt"), QStringLiteral("TextReplacer"),
        {{QStringLiteral("Simple"),
          StoredGrid(KReplacerSimpleColumns, {{S("1"), S("Old Company"), S("New Company")}})},
         {QStringLiteral("Regex"),
          StoredGrid(KReplacerRegexColumns, {{S(""), S("(\\d{4}"), S("\\1")}})}});
    Add(QStringLiteral("*.*"), QStringLiteral("PathNameFixer"), FixerProps());
    // Everything but the options left to the declaration defaults: the shipped default file.
    Add(QStringLiteral("*.txt"), QStringLiteral("ListPaths"),
        {{QStringLiteral("SelectOptions"),
          StoredChoices({QStringLiteral("CLEAR_OUTPUT_FILE_CONTENT"),
                         QStringLiteral("WRITE_PATHS_RELATIVE")})}});
    Run();

    // The plain rule's result is written although the regular expression after it failed.
    EXPECT_EQ(ReadWholeFile(W(QStringLiteral("Old Notes.txt"))),
              QByteArray("New Company 2021-03-04"));
    EXPECT_EQ(ReadWholeFile(W(QStringLiteral("archived notes.txt"))), QByteArray("taken"));
    EXPECT_EQ(ReadWholeFile(W(QStringLiteral("other file.txt"))), QByteArray("New Company"));
    EXPECT_EQ(WorkEntries(),
              QStringList({QStringLiteral("Old Notes.txt"), QStringLiteral("archived notes.txt"),
                           QStringLiteral("other file.txt")}));

    // Three rule failures (one per file) and the refused rename.
    EXPECT_EQ(FProblems.WorkPathReports, 4) << FEntries.join(u'\n').toStdString();
    EXPECT_EQ(FProblems.Total(), FProblems.WorkPathReports);
    EXPECT_EQ(EntriesNaming(W(QStringLiteral("Old Notes.txt"))), 2);
    EXPECT_EQ(EntriesNaming(W(QStringLiteral("archived notes.txt"))), 1);
    EXPECT_EQ(EntriesNaming(W(QStringLiteral("Other File.txt"))), 1);

    // Unsorted entries come in the walk's order, so they are compared as a set.
    const QByteArray list =
        ReadWholeFile(FModules + QStringLiteral("Internal/ListPaths/default.txt"));
    QStringList listed = QString::fromUtf8(list).split(u',');
    listed.sort();
    EXPECT_EQ(listed,
              QStringList({QStringLiteral("Old Notes.txt"), QStringLiteral("archived notes.txt"),
                           QStringLiteral("other file.txt")}))
        << list.toStdString();
}

// Archives made by one combination are added to the batch when it has finished: the same
// combination never packs them again, later ones see them.
TEST_F(TextPluginsBatchTest, ArchivesJoinTheBatchForLaterCombinationsOnly) {
    FTemp.WriteFile(QStringLiteral("in/a.txt"), "alpha alpha alpha alpha alpha");
    FTemp.WriteFile(QStringLiteral("in/docs/b.htm"), "<p>beta</p>");
    const QString listFile = FTemp.Path(QStringLiteral("lists/zips.txt"));
    Add(QStringLiteral("*.*"), QStringLiteral("ZipCompress"), {});
    Add(QStringLiteral("/"), QStringLiteral("ZipCompress"), {});
    Add(QStringLiteral("*.zip"), QStringLiteral("ListPaths"),
        {{QStringLiteral("SelectOptions"),
          StoredChoices({QStringLiteral("CLEAR_OUTPUT_FILE_CONTENT"),
                         QStringLiteral("WRITE_PATHS_RELATIVE")})},
         {QStringLiteral("EditOptions"),
          StoredTextBoxes({{QStringLiteral("OUTPUT_FILE_PATH"), listFile},
                           {QStringLiteral("SEP_STR"), QStringLiteral(";")}})}});
    Run();

    EXPECT_EQ(FProblems.Total(), 0) << FEntries.join(u'\n').toStdString();
    // The directory's archive holds what the directory held when it was packed, its file's
    // archive included.
    EXPECT_EQ(WorkEntries(),
              QStringList({QStringLiteral("a.txt"), QStringLiteral("a.txt.zip"),
                           QStringLiteral("docs.zip"), QStringLiteral("docs/"),
                           QStringLiteral("docs/b.htm"), QStringLiteral("docs/b.htm.zip")}));
    QStringList listed = QString::fromUtf8(ReadWholeFile(listFile)).split(u';');
    listed.sort();
    EXPECT_EQ(listed, QStringList({QStringLiteral("a.txt.zip"), QStringLiteral("docs.zip"),
                                   QStringLiteral("docs/b.htm.zip")}));
}

}  // namespace
