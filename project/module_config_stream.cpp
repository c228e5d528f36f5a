#include "project/module_config_stream.h"

#include "app/program_log.h"
#include "base/exceptions.h"
#include "base/stream_fields.h"
#include "plugin_host/plugin_descriptor.h"
#include "plugin_host/plugin_host.h"
#include "project/project_texts.h"
#include "translation/translated_text.h"

namespace {

QString ProjectFilePrefix(const QString& AProjectFile) {
    return TranslatedMessage(KTextModulesConfUnreadable,
                             {{QStringLiteral("dynDirFilePathName"), AProjectFile}}) +
           QLatin1Char(' ');
}

[[noreturn]] void RaiseDamaged(const QString& AProjectFile, const TqvlgNativeText& AReason,
                               const TqvlgDynVars& AVars) {
    const QString reason = TranslatedMessage(AReason, AVars);
    throw EqvValueOutOfValidRangeError(ProjectFilePrefix(AProjectFile) + reason);
}

std::pair<QString, QString> Var(const char16_t* AName, qint64 AValue) {
    return {QString::fromUtf16(AName), QString::number(AValue)};
}

int HexDigit(QChar AChar) {
    const char16_t c = AChar.unicode();
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    return -1;
}

TModuleConfigContent ReadEntries(TCombinationList& AList, const QByteArray& AStream,
                                 const QString& AProjectFile) {
    TModuleConfigContent content;
    if (AStream.isEmpty())
        return content;
    TStreamReader reader(AStream);
    const std::int32_t entryCount = reader.ReadInt32();
    if (entryCount < 0)
        RaiseDamaged(AProjectFile, KTextModulesConfNegativeEntryCount,
                     {Var(u"dynCount", entryCount)});
    for (std::int32_t position = 1; position <= entryCount; ++position) {
        const QString filter = reader.ReadUtf8String();
        const TPatternMeta& pattern =
            AList.Patterns().Register(filter, patUser, StoredPatternKind(filter));
        if (reader.ReadByte() == 0) {
            content.Dropped.push_back(
                {position, filter, {}, TDroppedCombination::TReason::NoPlugin});
            continue;
        }
        const QString strId = reader.ReadUtf8String();
        TPluginStoredLibInfo* plugin = AList.Host().FindByStrID(strId);
        bool makeRow = plugin != nullptr;
        if (plugin == nullptr) {
            content.Dropped.push_back(
                {position, filter, strId, TDroppedCombination::TReason::PluginNotInstalled});
        } else if (!PluginAcceptsPatternKind(plugin->FPluginInfoHost.CanWorkCategory,
                                             pattern.CanWorkCategory)) {
            makeRow = false;
            content.Dropped.push_back(
                {position, filter, strId, TDroppedCombination::TReason::FilterNotAccepted});
        }
        TCombinationEntry entry;
        if (makeRow)
            entry = {&pattern, plugin, EmptyPropertyStreams(*plugin)};

        const std::int32_t propCount = reader.ReadInt32();
        if (propCount < 0)
            RaiseDamaged(AProjectFile, KTextModulesConfNegativePropCount,
                         {Var(u"dynPosition", position), Var(u"dynCount", propCount)});
        for (std::int32_t p = 0; p < propCount; ++p) {
            const QString propName = reader.ReadUtf8String();
            if (plugin != nullptr)
                plugin->GetPropertyByName(propName);  // raises when the plugin lacks it
            const qsizetype valueAt = reader.Position();
            const std::int32_t valueSize = reader.ReadInt32();
            if (valueSize < 0 || valueSize > reader.Remaining())
                RaiseDamaged(AProjectFile, KTextModulesConfValueSizeWrong,
                             {{QStringLiteral("dynPropName"), propName},
                              Var(u"dynCount", valueSize),
                              Var(u"dynOffset", valueAt),
                              Var(u"dynRemaining", reader.Remaining())});
            const QByteArray value = reader.ReadBytes(valueSize);
            if (valueSize > 0 && makeRow) {
                for (auto& [name, stream] : entry.Values)
                    if (name == propName)
                        stream = value;
            }
        }
        if (makeRow)
            content.Entries.push_back(std::move(entry));
    }
    // A writer never leaves bytes behind the list: they mean the counts are wrong.
    if (!reader.AtEnd())
        RaiseDamaged(AProjectFile, KTextModulesConfBytesAfterEnd,
                     {Var(u"dynCount", reader.Remaining()), Var(u"dynOffset", reader.Position())});
    return content;
}

}  // namespace

QString DroppedCombinationText(const TDroppedCombination& ADropped) {
    const TqvlgDynVars vars = {{QStringLiteral("dynPosition"), QString::number(ADropped.Position)},
                               {QStringLiteral("dynFilter"), ADropped.Filter},
                               {QStringLiteral("dynPluginID"), ADropped.PluginStrID}};
    switch (ADropped.Reason) {
        case TDroppedCombination::TReason::NoPlugin:
            return TranslatedMessage(KTextCombinationWithoutPlugin, vars);
        case TDroppedCombination::TReason::PluginNotInstalled:
            return TranslatedMessage(KTextCombinationPluginNotInstalled, vars);
        case TDroppedCombination::TReason::FilterNotAccepted:
            return TranslatedMessage(KTextCombinationFilterNotAccepted, vars);
    }
    return {};
}

QByteArray OwnSavePerstStreamData_Memory(const TCombinationList& AList) {
    TStreamWriter writer;
    writer.WriteInt32(AList.Count());
    for (const TCombinationEntry& entry : AList.Entries()) {
        writer.WriteUtf8String(entry.Pattern->PatType);
        writer.WriteByte(1);
        writer.WriteUtf8String(entry.Plugin->FPluginInfoHost.StrID);
        writer.WriteInt32(static_cast<std::int32_t>(entry.Plugin->FProperties.size()));
        for (const auto& property : entry.Plugin->FProperties) {
            QByteArray stream;
            for (const auto& [name, value] : entry.Values)
                if (name == property->FPropName)
                    stream = value;
            writer.WriteUtf8String(property->FPropName);
            writer.WriteInt32(static_cast<std::int32_t>(stream.size()));
            writer.WriteBytes(stream);
        }
    }
    return writer.TakeData();
}

QString OwnSavePerstStreamData_HexStr(const TCombinationList& AList) {
    return StreamToHexText(OwnSavePerstStreamData_Memory(AList));
}

TModuleConfigContent ReadModuleConfig(TCombinationList& AList, const QByteArray& AStream,
                                      const QString& AProjectFile) {
    // The reader's own errors get the project file in front; the class stays.
    try {
        return ReadEntries(AList, AStream, AProjectFile);
    } catch (const EqvValueOutOfValidRangeError&) {
        throw;
    } catch (const EqvParamWrong& e) {
        throw EqvParamWrong(ProjectFilePrefix(AProjectFile) + e.Message());
    } catch (const EqvOperationNotPossible& e) {
        throw EqvOperationNotPossible(ProjectFilePrefix(AProjectFile) + e.Message());
    }
}

std::vector<TDroppedCombination> OwnLoadPerstStreamData_Memory(TCombinationList& AList,
                                                               const QByteArray& AStream,
                                                               const QString& AProjectFile,
                                                               TqvLogging* ALog) {
    TModuleConfigContent content = ReadModuleConfig(AList, AStream, AProjectFile);
    AList.ReplaceEntries(std::move(content.Entries));
    if (ALog != nullptr)
        LogDroppedCombinations(*ALog, AProjectFile, content.Dropped);
    return content.Dropped;
}

std::vector<TDroppedCombination> OwnLoadPerstStreamData_HexStr(TCombinationList& AList,
                                                               const QString& AHexStr,
                                                               const QString& AProjectFile,
                                                               TqvLogging* ALog) {
    return OwnLoadPerstStreamData_Memory(AList, HexTextToStream(AHexStr, AProjectFile),
                                         AProjectFile, ALog);
}

QString StreamToHexText(const QByteArray& AStream) {
    static const char16_t KDigits[] = u"0123456789ABCDEF";
    QString text;
    text.reserve(AStream.size() * 2);
    for (qsizetype i = AStream.size() - 1; i >= 0; --i) {
        const auto byte = static_cast<unsigned char>(AStream[i]);
        text.append(QChar(KDigits[byte >> 4]));
        text.append(QChar(KDigits[byte & 0x0F]));
    }
    return text;
}

QByteArray HexTextToStream(const QString& AHexText, const QString& AProjectFile) {
    if (AHexText.size() % 2 != 0)
        RaiseDamaged(AProjectFile, KTextModulesConfOddDigits, {Var(u"dynCount", AHexText.size())});
    QByteArray stream;
    stream.reserve(AHexText.size() / 2);
    for (qsizetype i = AHexText.size() - 2; i >= 0; i -= 2) {
        const int high = HexDigit(AHexText[i]);
        const int low = HexDigit(AHexText[i + 1]);
        if (high < 0 || low < 0)
            RaiseDamaged(
                AProjectFile, KTextModulesConfNotHex,
                {{QStringLiteral("dynText"), AHexText.mid(i, 2)}, Var(u"dynPosition", i + 1)});
        stream.append(static_cast<char>((high << 4) | low));
    }
    return stream;
}

void LogDroppedCombinations(TqvLogging& ALog, const QString& AProjectFile,
                            const std::vector<TDroppedCombination>& ADropped) {
    const TLogSender sender{QStringLiteral("TCombinationList"), {}};
    for (const TDroppedCombination& dropped : ADropped)
        ALog.Log(&sender, nullptr,
                 QStringLiteral("Project file \"") + AProjectFile +
                     QStringLiteral("\": combination left out. ") +
                     DroppedCombinationText(dropped));
}
