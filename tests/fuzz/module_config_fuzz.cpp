// The module configuration stream and its hexadecimal text. The input is read as a stream by the
// standard test plugins' combination list and, as Latin-1 text, as the hex form. A stream must
// either be refused with one of the program's errors or read completely; one that was read is
// written again and reads back to the same rows, and writing those gives the same bytes. A hex
// text that is accepted gives the same text again, in upper case.
#include <QStringList>

#include "base/exceptions.h"
#include "plugin_host/plugin_descriptor.h"
#include "project/combination_list.h"
#include "project/module_config_stream.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

const QString KProject = QStringLiteral("fuzz.plv");

QStringList Rows(const TCombinationList& AList) {
    QStringList rows;
    for (const TCombinationEntry& entry : AList.Entries()) {
        QString row =
            entry.Pattern->PatType + QLatin1Char('>') + entry.Plugin->FPluginInfoHost.StrID;
        for (const auto& [name, stream] : entry.Values)
            row += QLatin1Char(' ') + name + QLatin1Char('=') + QString::fromLatin1(stream.toHex());
        rows << row;
    }
    return rows;
}

void ReadStream(const QByteArray& AStream) {
    TPluginHost& host = FuzzPlugins().Plugins.Host();
    TCombinationList list(host);
    try {
        OwnLoadPerstStreamData_Memory(list, AStream, KProject);
    } catch (const EqvException&) {
        if (!list.Entries().empty())
            FuzzFinding("a refused stream left entries in the list");
        return;
    }
    const QByteArray written = OwnSavePerstStreamData_Memory(list);
    TCombinationList again(host);
    try {
        OwnLoadPerstStreamData_Memory(again, written, KProject);
    } catch (const EqvException& error) {
        FuzzFinding("a written stream cannot be read back:", error.Message());
    }
    if (Rows(again) != Rows(list))
        FuzzFinding("a written stream reads back to other rows:", Rows(again).join(u'|'));
    if (OwnSavePerstStreamData_Memory(again) != written)
        FuzzFinding("writing a stream read back gives other bytes");
}

void ReadHexText(const QByteArray& ABytes) {
    const QString text = QString::fromLatin1(ABytes);
    QByteArray stream;
    try {
        stream = HexTextToStream(text, KProject);
    } catch (const EqvException&) {
        return;
    }
    if (StreamToHexText(stream) != text.toUpper())
        FuzzFinding("hex text does not come back:", text);
    ReadStream(stream);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* AData, std::size_t ASize) {
    const QByteArray bytes = FuzzBytes(AData, ASize);
    ReadStream(bytes);
    ReadHexText(bytes);
    return 0;
}
