#include "platform/child_program.h"

#include <gtest/gtest.h>

#include <ostream>
#include <vector>

namespace {

struct TSplitCase {
    const char* Text;
    std::vector<const char*> Words;
};

TEST(SplitShellWords, BlanksSeparateAndDoubleQuotesGroup) {
    const std::vector<TSplitCase> cases = {
        {"", {}},
        {"   \t ", {}},
        {"-f /w/a.txt", {"-f", "/w/a.txt"}},
        {"  a \t b\r\nc  ", {"a", "b", "c"}},
        {"\"/w/my docs/a b.txt\"", {"/w/my docs/a b.txt"}},
        {"a\"b c\"d", {"ab cd"}},
        {"\"\" x \"\"", {"", "x", ""}},
        {"\"unfinished quote", {"unfinished quote"}},
        {"it's", {"it's"}},
    };
    for (const TSplitCase& c : cases) {
        QStringList expected;
        for (const char* word : c.Words)
            expected << QString::fromUtf8(word);
        EXPECT_EQ(SplitShellWords(QString::fromUtf8(c.Text)), expected) << c.Text;
    }
}

// The value goes in after splitting: "V" stands for it in the expected words.
TEST(SplitShellWords, APlaceholderValueIsNeverSplitOrJoined) {
    const std::vector<TSplitCase> cases = {
        {"?FP?", {"V"}},      {"-f ?FP?", {"-f", "V"}},
        {"\"?FP?\"", {"V"}},  {"a?FP?b \"c ?FP? d\"", {"aVb", "c V d"}},
        {"?FP??FP?", {"VV"}}, {"?fp? ?F\"P\"?", {"?fp?", "?FP?"}},
        {"?FP", {"?FP"}},
    };
    const QString placeholder = QStringLiteral("?FP?");
    for (const QString& value : {QStringLiteral("/w/x\" \"y z\n-q \"\""), QString()}) {
        for (const TSplitCase& c : cases) {
            QStringList expected;
            for (const char* word : c.Words)
                expected << QString::fromUtf8(word).replace(u'V', value);
            EXPECT_EQ(SplitShellWords(QString::fromUtf8(c.Text), placeholder, value), expected)
                << c.Text << " with " << value.toStdString();
        }
    }
}

QByteArray BigInput() {
    QByteArray bytes;
    for (int i = 0; bytes.size() < 3 * 1024 * 1024; ++i)
        bytes += "line " + QByteArray::number(i) + " of the input\n";
    return bytes;
}

// More than a pipe holds both ways: feeding everything before reading would never end.
TEST(RunChildProgram, LargeInputAndOutputFlowAtTheSameTime) {
    const QByteArray input = BigInput();
    const TChildProgramResult result =
        RunChildProgram({QStringLiteral("/bin/cat"), {}, {}}, true, input);
    ASSERT_TRUE(result.Started) << result.StartError.toStdString();
    EXPECT_EQ(result.ExitCode, 0);
    EXPECT_TRUE(result.Output == input) << result.Output.size() << " bytes came back";
}

// A program that ends without reading must not take this process down with SIGPIPE.
TEST(RunChildProgram, AProgramThatReadsNothingEndsNormally) {
    const TChildProgramResult result = RunChildProgram(
        {QStringLiteral("/bin/sh"), {QStringLiteral("-c"), QStringLiteral("echo no; exit 5")}, {}},
        true, BigInput());
    ASSERT_TRUE(result.Started);
    EXPECT_EQ(result.ExitCode, 5);
    EXPECT_EQ(result.Output, QByteArray("no\n"));
    EXPECT_EQ(DescribeProgramEnd(result), QStringLiteral("exit code 5"));
}

TEST(RunChildProgram, WhatCannotBeStartedIsSaidWithTheReason) {
    for (const bool detached : {false, true}) {
        const TChildProgramRequest request{QStringLiteral("/nonexistent/program"), {}, {}};
        const QString error = detached ? StartChildProgramDetached(request)
                                       : RunChildProgram(request, false).StartError;
        EXPECT_TRUE(error.contains(QStringLiteral("/nonexistent/program")) &&
                    error.contains(QStringLiteral("No such file")))
            << error.toStdString();
    }
    const TChildProgramResult folder = RunChildProgram(
        {QStringLiteral("/bin/true"), {}, QStringLiteral("/nonexistent/folder")}, false);
    EXPECT_FALSE(folder.Started);
    EXPECT_FALSE(folder.StartError.isEmpty());
}

}  // namespace
