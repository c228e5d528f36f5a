#include "tests/support/garbled_projects.h"

#include <QStringEncoder>

#include <random>

namespace {

QByteArray RandomBytes(int ACount) {
    std::mt19937 generator(20261209);  // fixed: the same bytes on every run
    std::uniform_int_distribution<int> byte(0, 255);
    QByteArray bytes;
    for (int i = 0; i < ACount; ++i)
        bytes.append(static_cast<char>(byte(generator)));
    return bytes;
}

// A well-formed project file apart from its module configuration, given in its text form (the
// stream's bytes last to first, two hexadecimal digits each).
QByteArray ProjectWithModulesConf(const QByteArray& AHexText) {
    return "[Project Details]\r\nSavedWithVersion=3.3.0\r\nIncludeSubDirs=2\r\nModulesConf=" +
           AHexText + "\r\n";
}

}  // namespace

std::vector<TGarbledProject> GarbledProjectFiles() {
    const QString notAProject = QStringLiteral("is not a project file");
    const QString damaged = QStringLiteral("the module configuration could not be read");
    QStringEncoder utf16(QStringEncoder::Utf16LE, QStringEncoder::Flag::WriteBom);
    const QByteArray utf16Text =
        utf16.encode(QStringLiteral("[Project Details]\r\nInputDirPath=/srv/in/\r\n"));
    return {
        {"random bytes", RandomBytes(600), notAProject},
        {"empty file", QByteArray(), notAProject},
        {"PNG picture",
         QByteArray("\x89PNG\r\n\x1a\n\x00\x00\x00\rIHDR\x00\x00\x00\x01\x00\x00\x00\x01\x08\x02"
                    "\x00\x00\x00\x90wS\xde",
                    33),
         notAProject},
        // Even a project's text is not read as one in UTF-16: project files are 8-bit or UTF-8.
        {"UTF-16 text", utf16Text, notAProject},
        {"INI file of something else", "[Misc]\r\nDataAccess=app\r\n", notAProject},
        // Stream 01 00 00 00: one combination announced, none there.
        {"truncated module configuration", ProjectWithModulesConf("00000001"), damaged},
        // Stream FF FF FF FF: an entry count of -1.
        {"negative combination count", ProjectWithModulesConf("FFFFFFFF"), damaged},
        // Stream 00 00 00 00 07 08: an empty list and two bytes after it.
        {"bytes after the last combination", ProjectWithModulesConf("080700000000"), damaged},
        // A digit lost from the text form, and a pair that is no hexadecimal number.
        {"odd number of hex digits", ProjectWithModulesConf("0000000"), damaged},
        {"not hexadecimal", ProjectWithModulesConf("0000000G"), damaged},
        // One combination whose filter claims 2 GB.
        {"huge text length", ProjectWithModulesConf("7FFFFFF000000001"), damaged},
        // One combination of a plugin that is not installed whose one value claims 2 GB.
        {"huge value size",
         ProjectWithModulesConf(
             "7FFFFFFF70BFBBEF000000040000000178BFBBEF00000004012A2E2ABFBBEF0000000600000001"),
         damaged},
    };
}
