#include "app/program_log.h"

#include <QUrlQuery>

#include <gtest/gtest.h>

#include <condition_variable>
#include <stdexcept>
#include <thread>

#include "base/exceptions.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/temp_folders.h"

namespace {

class ProgramLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        FLog.FLogFileName = FTemp.Path(QStringLiteral("program.log"));
        FLog.SetClock([] { return QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5)); });
        FLog.SetPrompts(&FPrompts);
    }
    QStringList FileLines() const {
        QString text = QString::fromUtf8(FTemp.ReadFile(QStringLiteral("program.log")));
        EXPECT_TRUE(text.isEmpty() || text.endsWith(QStringLiteral("\r\n")));
        QStringList lines = text.split(QStringLiteral("\r\n"));
        lines.removeLast();
        return lines;
    }
    static QStringList Starting(const QStringList& ALines, const QString& APrefix) {
        QStringList out;
        for (const QString& line : ALines)
            if (line.startsWith(APrefix))
                out << line;
        return out;
    }

    TTempFolder FTemp;
    TScriptedPrompts FPrompts;
    TqvLogging FLog;
};

}  // namespace

TEST_F(ProgramLogTest, EntryKindsAndTheirLines) {
    struct TCase {
        const char* Name;
        bool WithError;
        std::optional<QString> Message;
        std::optional<QString> Id;
        QString Kind;
    };
    const std::vector<TCase> cases = {
        {"info", false, std::nullopt, std::nullopt, QStringLiteral("--Info--")},
        {"message with id", false, QStringLiteral("hello"), QStringLiteral("ID42"),
         QStringLiteral("--Message--")},
        {"exception", true, std::nullopt, std::nullopt, QStringLiteral("--Exception--")},
        {"combined", true, QStringLiteral("\"x.so\" failed under loading."), std::nullopt,
         QStringLiteral("--Combined--")},
    };
    const EqvParamWrong error(QStringLiteral("bad value"));
    for (const TCase& c : cases) {
        TqvLogging log;
        log.SetClock([] { return QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5)); });
        const TLogSender sender{QStringLiteral("TBatchEngine"), QStringLiteral("Engine1")};
        log.Log(&sender, c.WithError ? &error : nullptr, c.Message, c.Id);
        const QStringList lines = log.PendingLines();  // no file name: kept in memory
        ASSERT_GE(lines.size(), 10) << c.Name;
        EXPECT_EQ(lines[0], c.Kind) << c.Name;
        EXPECT_EQ(lines[1], QStringLiteral("DateTime (ISO): 2026-01-02 03:04:05")) << c.Name;
        EXPECT_TRUE(lines[2].startsWith(QStringLiteral("DateTime (native): "))) << c.Name;
        EXPECT_EQ(lines[3], QStringLiteral("Sender Class Name: TBatchEngine")) << c.Name;
        EXPECT_EQ(lines[4], QStringLiteral("Sender Name: Engine1")) << c.Name;
        EXPECT_TRUE(lines[5].startsWith(QStringLiteral("Last Windows Error: "))) << c.Name;
        EXPECT_TRUE(lines[5].endsWith(QStringLiteral("\")"))) << c.Name;
        EXPECT_TRUE(lines[6].startsWith(QStringLiteral("Current Process ID: "))) << c.Name;
        EXPECT_TRUE(lines[7].startsWith(QStringLiteral("Current Thread ID: "))) << c.Name;
        EXPECT_TRUE(lines[8].startsWith(QStringLiteral("Main Thread ID: "))) << c.Name;
        EXPECT_TRUE(lines[9].startsWith(QStringLiteral("Current Work Directory: "))) << c.Name;
        QStringList tail = lines.mid(10);
        QStringList expectedTail;
        if (c.Id)
            expectedTail << QStringLiteral("ID: ") + *c.Id;
        if (c.Message)
            expectedTail << QStringLiteral("Message: ") + *c.Message;
        if (c.WithError)
            expectedTail << QStringLiteral("Exception Class Name: EqvParamWrong")
                         << QStringLiteral("Exception Message: bad value");
        expectedTail << QString();
        EXPECT_EQ(tail, expectedTail) << c.Name;
    }
}

TEST_F(ProgramLogTest, FileIsCreatedAndAppendedInUtf8) {
    FLog.Log(nullptr, nullptr, QStringLiteral("first Ω"));
    FLog.Log(nullptr, nullptr, QStringLiteral("second"));
    const QStringList lines = FileLines();
    EXPECT_EQ(Starting(lines, QStringLiteral("Message: ")),
              QStringList({QStringLiteral("Message: first Ω"), QStringLiteral("Message: second")}));
    EXPECT_TRUE(FLog.PendingLines().isEmpty());
}

TEST_F(ProgramLogTest, ExistingEntriesAreKeptEvenWhenNotValidText) {
    const QByteArray earlier("--Info--\r\nold \xFF\xFE bytes\r\n\r\n");
    FTemp.WriteFile(QStringLiteral("program.log"), earlier);
    FLog.Log(nullptr, nullptr, QStringLiteral("new"));
    const QByteArray bytes = FTemp.ReadFile(QStringLiteral("program.log"));
    EXPECT_TRUE(bytes.startsWith(earlier));
    EXPECT_TRUE(bytes.contains("Message: new\r\n"));
}

TEST_F(ProgramLogTest, ErrorInAnotherThreadIsLoggedWithoutDialog) {
    const std::runtime_error error("worker failed");
    std::thread worker([&] { FLog.HandleErrorException(nullptr, error); });
    worker.join();
    EXPECT_TRUE(FPrompts.Asked.isEmpty());
    const QStringList lines = FileLines();
    EXPECT_EQ(lines.value(0), QStringLiteral("--Exception--"));
    EXPECT_TRUE(lines.contains(QStringLiteral("Exception Message: worker failed")));
    const QString mainId = Starting(lines, QStringLiteral("Main Thread ID: ")).value(0);
    const QString threadId = Starting(lines, QStringLiteral("Current Thread ID: ")).value(0);
    EXPECT_NE(mainId.mid(mainId.indexOf(QLatin1Char(':'))),
              threadId.mid(threadId.indexOf(QLatin1Char(':'))));
}

TEST_F(ProgramLogTest, ErrorOnTheUiThreadAsksAndOpensTheSupportPage) {
    FPrompts.Answers = {true};
    const EqvOperationNotPossible error(QStringLiteral("Disk full?\r\nTry  again & again"));
    FLog.HandleErrorException(nullptr, error);
    ASSERT_EQ(FPrompts.Asked.size(), 1);
    EXPECT_EQ(FPrompts.Asked[0],
              QStringLiteral("Error occured: \"Disk full?\r\nTry  again & again\"\r\n\r\n"
                             "Open browser to view more information?"));
    ASSERT_EQ(FPrompts.Opened.size(), 1);
    const QUrlQuery query(FPrompts.Opened[0]);
    EXPECT_EQ(query.queryItemValue(QStringLiteral("pn")), QStringLiteral("Plovane"));
    EXPECT_EQ(query.queryItemValue(QStringLiteral("ec")),
              QStringLiteral("EqvOperationNotPossible"));
    EXPECT_EQ(query.queryItemValue(QStringLiteral("em"), QUrl::FullyDecoded),
              QStringLiteral("Disk full[Question] Try again [And] again"));
    EXPECT_EQ(FileLines().value(0), QStringLiteral("--Exception--"));
}

TEST_F(ProgramLogTest, HarmlessDatePickerErrorIsOnlyLogged) {
    const TLogSender sender{QStringLiteral("TDateTimePicker"), QString()};
    FLog.HandleErrorException(&sender,
                              EqvException(QStringLiteral("Failed to set calendar date or time")));
    EXPECT_TRUE(FPrompts.Asked.isEmpty());
    EXPECT_EQ(FileLines().value(0), QStringLiteral("--Exception--"));
}

TEST_F(ProgramLogTest, TranslatedDialogTextsAndGeneralProblems) {
    FLog.SetTextLookup([](const QString& AKey, const QString&) {
        return QStringLiteral("<") + AKey + QLatin1Char('>');
    });
    FPrompts.Answers = {false, true};
    FLog.HandleErrorException(nullptr, EqvException());
    EXPECT_EQ(FPrompts.Asked.value(0),
              QStringLiteral("<ErrorOccuredDetails>\r\n\r\n<OpenBrowserMoreInfo>"));
    EXPECT_TRUE(FPrompts.Opened.isEmpty());
    FLog.HandleErrorGeneral(QStringLiteral("BatchFailed"));
    EXPECT_EQ(FPrompts.Asked.value(1), QStringLiteral("<ProblemViewDetails>"));
    ASSERT_EQ(FPrompts.Opened.size(), 1);
    EXPECT_EQ(QUrlQuery(FPrompts.Opened[0]).queryItemValue(QStringLiteral("ec")),
              QStringLiteral("BatchFailed"));
}

TEST_F(ProgramLogTest, EntriesFromManyThreadsStayWhole) {
    constexpr int KThreads = 8;
    constexpr int KEach = 25;
    std::vector<std::thread> threads;
    for (int t = 0; t < KThreads; ++t)
        threads.emplace_back([this, t] {
            for (int i = 0; i < KEach; ++i)
                FLog.Log(nullptr, nullptr, QStringLiteral("t%1-%2").arg(t).arg(i));
        });
    for (std::thread& thread : threads)
        thread.join();
    const QStringList lines = FileLines();
    const QStringList kinds = Starting(lines, QStringLiteral("--"));
    EXPECT_EQ(kinds.size(), KThreads * KEach);
    // Each entry is 10 lines long here (no sender, no id) and starts with its kind line.
    constexpr int KEntryLines = 10;
    ASSERT_EQ(lines.size(), KThreads * KEach * KEntryLines);
    for (qsizetype i = 0; i < lines.size(); i += KEntryLines) {
        EXPECT_EQ(lines[i], QStringLiteral("--Message--"));
        EXPECT_TRUE(lines[i + 8].startsWith(QStringLiteral("Message: t")));
        EXPECT_TRUE(lines[i + 9].isEmpty());
    }
}
