#include "base/ini_document.h"

#include <QFile>
#include <QStringConverter>

#include "base/exceptions.h"
#include "platform/ansi_code_page.h"

namespace {

bool SameName(const QString& A, const QString& B) {
    return A.compare(B, Qt::CaseInsensitive) == 0;
}

}  // namespace

TIniDocument TIniDocument::FromText(const QString& AText) {
    TIniDocument doc;
    QString text = AText;
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QStringList lines = text.split(QLatin1Char('\n'));
    // A final line end does not start another (empty) line.
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();

    doc.FSections.push_back(TSection{});
    for (const QString& raw : lines) {
        const QString trimmed = raw.trimmed();
        if (trimmed.startsWith(QLatin1Char('[')) && trimmed.endsWith(QLatin1Char(']'))) {
            TSection section;
            section.Name = trimmed.mid(1, trimmed.size() - 2).trimmed();
            section.HasHeader = true;
            doc.FSections.push_back(std::move(section));
            continue;
        }
        TLine line;
        const qsizetype eq = raw.indexOf(QLatin1Char('='));
        const bool comment =
            trimmed.startsWith(QLatin1Char(';')) || trimmed.startsWith(QLatin1Char('#'));
        if (eq > 0 && !comment && !raw.left(eq).trimmed().isEmpty()) {
            line.IsPair = true;
            line.Key = raw.left(eq).trimmed();
            line.Value = raw.mid(eq + 1);
        } else {
            line.Value = raw;
        }
        doc.FSections.back().Lines.push_back(std::move(line));
    }
    if (doc.FSections.front().Lines.empty())
        doc.FSections.erase(doc.FSections.begin());
    return doc;
}

TIniDocument TIniDocument::FromBytes(const QByteArray& ABytes) {
    QByteArrayView bytes(ABytes);
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes = bytes.sliced(3);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (utf8.hasError())
        text = TAnsiCodePage::System().Decode(bytes.toByteArray());
    return FromText(text);
}

TIniDocument TIniDocument::FromFile(const QString& APath) {
    QFile file(APath);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return FromBytes(file.readAll());
}

QString TIniDocument::ToText() const {
    QString out;
    for (const TSection& section : FSections) {
        if (section.HasHeader)
            out += QLatin1Char('[') + section.Name + QStringLiteral("]\r\n");
        for (const TLine& line : section.Lines) {
            if (line.IsPair)
                out += line.Key + QLatin1Char('=') + line.Value + QStringLiteral("\r\n");
            else
                out += line.Value + QStringLiteral("\r\n");
        }
    }
    return out;
}

const TIniDocument::TSection* TIniDocument::FindSection(const QString& AName) const {
    for (const TSection& section : FSections)
        if (section.HasHeader && SameName(section.Name, AName))
            return &section;
    return nullptr;
}

TIniDocument::TSection& TIniDocument::EnsureSection(const QString& AName) {
    for (TSection& section : FSections)
        if (section.HasHeader && SameName(section.Name, AName))
            return section;
    TSection section;
    section.Name = AName;
    section.HasHeader = true;
    FSections.push_back(std::move(section));
    return FSections.back();
}

const TIniDocument::TLine* TIniDocument::FindPair(const TSection& ASection, const QString& AKey) {
    for (const TLine& line : ASection.Lines)
        if (line.IsPair && SameName(line.Key, AKey))
            return &line;
    return nullptr;
}

bool TIniDocument::SectionExists(const QString& ASection) const {
    return FindSection(ASection) != nullptr;
}

bool TIniDocument::ValueExists(const QString& ASection, const QString& AKey) const {
    const TSection* section = FindSection(ASection);
    return section != nullptr && FindPair(*section, AKey) != nullptr;
}

QStringList TIniDocument::SectionNames() const {
    QStringList names;
    for (const TSection& section : FSections)
        if (section.HasHeader)
            names << section.Name;
    return names;
}

QStringList TIniDocument::KeyNames(const QString& ASection) const {
    QStringList names;
    if (const TSection* section = FindSection(ASection))
        for (const TLine& line : section->Lines)
            if (line.IsPair)
                names << line.Key;
    return names;
}

QString TIniDocument::ReadString(const QString& ASection, const QString& AKey,
                                 const QString& ADefault) const {
    const TSection* section = FindSection(ASection);
    if (section == nullptr)
        return ADefault;
    const TLine* line = FindPair(*section, AKey);
    return line != nullptr ? line->Value : ADefault;
}

int TIniDocument::ReadInteger(const QString& ASection, const QString& AKey, int ADefault) const {
    if (!ValueExists(ASection, AKey))
        return ADefault;
    bool ok = false;
    const int value = ReadString(ASection, AKey).trimmed().toInt(&ok);
    return ok ? value : ADefault;
}

bool TIniDocument::ReadBool(const QString& ASection, const QString& AKey, bool ADefault) const {
    return ReadInteger(ASection, AKey, ADefault ? 1 : 0) != 0;
}

bool TIniDocument::FitsInOneLine(const QString& AText) {
    return !AText.contains(QLatin1Char('\n')) && !AText.contains(QLatin1Char('\r'));
}

void TIniDocument::WriteString(const QString& ASection, const QString& AKey,
                               const QString& AValue) {
    for (const QString* text : {&ASection, &AKey, &AValue})
        if (!FitsInOneLine(*text))
            throw EqvParamWrong(QStringLiteral("The value of \"") + AKey +
                                QStringLiteral("\" in [") + ASection +
                                QStringLiteral("] holds a line break, which an INI file cannot "
                                               "store: \"") +
                                *text + QLatin1Char('"'));
    TSection& section = EnsureSection(ASection);
    for (TLine& line : section.Lines) {
        if (line.IsPair && SameName(line.Key, AKey)) {
            line.Value = AValue;
            return;
        }
    }
    // New keys go after the last key of the section, before trailing blank lines.
    auto pos = section.Lines.end();
    while (pos != section.Lines.begin() && !(pos - 1)->IsPair &&
           (pos - 1)->Value.trimmed().isEmpty())
        --pos;
    section.Lines.insert(pos, TLine{AKey, AValue, true});
}

void TIniDocument::WriteInteger(const QString& ASection, const QString& AKey, int AValue) {
    WriteString(ASection, AKey, QString::number(AValue));
}

void TIniDocument::WriteBool(const QString& ASection, const QString& AKey, bool AValue) {
    WriteString(ASection, AKey, AValue ? QStringLiteral("1") : QStringLiteral("0"));
}

void TIniDocument::DeleteKey(const QString& ASection, const QString& AKey) {
    for (TSection& section : FSections) {
        if (!section.HasHeader || !SameName(section.Name, ASection))
            continue;
        std::erase_if(section.Lines,
                      [&](const TLine& line) { return line.IsPair && SameName(line.Key, AKey); });
    }
}

void TIniDocument::EraseSection(const QString& ASection) {
    std::erase_if(FSections, [&](const TSection& section) {
        return section.HasHeader && SameName(section.Name, ASection);
    });
}
