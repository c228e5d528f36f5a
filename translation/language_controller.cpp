#include "translation/language_controller.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <thread>

#include "base/exceptions.h"
#include "base/text_file.h"
#include "platform/system_folders.h"

namespace {

// The program-wide default controller and the thread that may use it.
TqvlgLanguageController* GDefaultController = nullptr;
std::thread::id GDefaultControllerThread;

const QString KUtf8Prefix = QStringLiteral("UTF8_");
const QString KSectionMetaData = QStringLiteral("MetaData");
const QString KResPrefix = QStringLiteral("StrsRes");
const QString KGuiPrefix = QStringLiteral("StrsGui");
const QString KValueSuffix = QStringLiteral("__Value");
const QString KTemplateSuffix = QStringLiteral("__Template");

bool SameText(const QString& A, const QString& B) {
    return A.compare(B, Qt::CaseInsensitive) == 0;
}

bool IsFile(const QString& APath) {
    const QFileInfo info(APath);
    return info.exists() && info.isFile();
}

// The metadata keys in file order, with the field each one fills.
struct TMetaField {
    const char16_t* Key;
    QString TqvlgTransMetaData::*Field;
};
constexpr TMetaField KMetaFields[] = {
    {u"Lingua_ID", &TqvlgTransMetaData::Lingua_ID},
    {u"Lingua_Desc", &TqvlgTransMetaData::Lingua_Desc},
    {u"Author_Name", &TqvlgTransMetaData::Author_Name},
    {u"Author_Email", &TqvlgTransMetaData::Author_Email},
    {u"Author_WebUrl", &TqvlgTransMetaData::Author_WebUrl},
    {u"Author_ThanksTo", &TqvlgTransMetaData::Author_ThanksTo},
    {u"Author_Comments", &TqvlgTransMetaData::Author_Comments},
    {u"Document_LastUpdateDate", &TqvlgTransMetaData::Document_LastUpdateDate},
    {u"Document_LastUpdateProgram", &TqvlgTransMetaData::Document_LastUpdateProgram},
    {u"Document_LastUpdateVersion", &TqvlgTransMetaData::Document_LastUpdateVersion},
};

}  // namespace

QString EscapeTransValue(const QString& AValue) {
    // "&" first, so the entities written for "<" and ">" are not escaped again.
    QString out = AValue;
    out.replace(QLatin1Char('&'), QStringLiteral("&amp;"));
    out.replace(QLatin1Char('<'), QStringLiteral("&lt;"));
    out.replace(QLatin1Char('>'), QStringLiteral("&gt;"));
    out.replace(QStringLiteral("\r\n"), QStringLiteral("<NL>"));
    out.replace(QLatin1Char('\r'), QStringLiteral("<#13>"));
    out.replace(QLatin1Char('\n'), QStringLiteral("<#10>"));
    out.replace(QChar(u'\0'), QStringLiteral("<#0>"));
    // An INI reader or a text editor may drop blanks at the start of a value.
    if (out.startsWith(QLatin1Char('\t')))
        out.replace(0, 1, QStringLiteral("<#9>"));
    else if (out.startsWith(QLatin1Char(' ')))
        out.replace(0, 1, QStringLiteral("<#32>"));
    return out;
}

QString UnescapeTransValue(const QString& AStored) {
    // One pass: a character that came out of an escape is never decoded a second time, so
    // "&amp;lt;" gives "&lt;" and "&lt;NL&gt;" gives "<NL>".
    static const std::pair<QString, QString> KEscapes[] = {
        {QStringLiteral("<NL>"), QStringLiteral("\r\n")},
        {QStringLiteral("<#13>"), QStringLiteral("\r")},
        {QStringLiteral("<#10>"), QStringLiteral("\n")},
        {QStringLiteral("<#9>"), QStringLiteral("\t")},
        {QStringLiteral("<#32>"), QStringLiteral(" ")},
        {QStringLiteral("<#0>"), QString(QChar(u'\0'))},
        {QStringLiteral("&amp;"), QStringLiteral("&")},
        {QStringLiteral("&lt;"), QStringLiteral("<")},
        {QStringLiteral("&gt;"), QStringLiteral(">")},
    };
    QString out;
    out.reserve(AStored.size());
    qsizetype pos = 0;
    while (pos < AStored.size()) {
        const QChar c = AStored.at(pos);
        bool matched = false;
        if (c == QLatin1Char('<') || c == QLatin1Char('&')) {
            const QStringView rest = QStringView(AStored).sliced(pos);
            for (const auto& [stored, plain] : KEscapes) {
                if (rest.startsWith(stored)) {
                    out += plain;
                    pos += stored.size();
                    matched = true;
                    break;
                }
            }
        }
        if (!matched) {
            out += c;
            ++pos;
        }
    }
    return out;
}

TqvlgLanguageController::TqvlgLanguageController()
    : FLanID_Native_CompiledConcept(QStringLiteral("en-us")),
      FLanID_Native_CompiledActive(QStringLiteral("en-us")),
      FLanID_Primary(QStringLiteral("en-us")),
      FTemplateSysDefaultsArr({QString()}) {
    AddTemplateSys(QStringLiteral("__curly"), QStringLiteral("{"), QStringLiteral("}"));
    AddTemplateSys(QStringLiteral("__sharp"), QStringLiteral("#"), QStringLiteral("#"));
    AddTemplateSys(QStringLiteral("__dollar"), QStringLiteral("$"), QStringLiteral("$"));
}

TqvlgLanguageController::~TqvlgLanguageController() {
    if (GDefaultController == this) {
        GDefaultController = nullptr;
        GDefaultControllerThread = {};
    }
}

TqvlgLanguageController* TqvlgLanguageController::GlobalDefault() {
    return GDefaultController;
}

bool TqvlgLanguageController::IsGlobalDefaultThread() {
    return GDefaultController != nullptr && GDefaultControllerThread == std::this_thread::get_id();
}

void TqvlgLanguageController::Config_WorkRoot(const QString& ARoot) {
    FWork_Root = IncludeTrailingSeparator(ARoot);
}

void TqvlgLanguageController::Config_WorkRules(TqvlgRulesSet ARules) {
    FWork_Rules = ARules;
}

void TqvlgLanguageController::Config_Language_Primary(const QString& APrimary,
                                                      bool AForceClearCache) {
    // Language folders are named in lower case; an empty choice means the native language.
    FLanID_Primary = APrimary.trimmed().toLower();
    if (FLanID_Primary.isEmpty())
        FLanID_Primary = FLanID_Native_CompiledConcept;
    FLanID_Native_CompiledActive = PrimaryIsNative() ? FLanID_Native_CompiledConcept : QString();
    if (AForceClearCache)
        ResetCacheFull();
    else
        ResetCachePartial();
}

void TqvlgLanguageController::Config_ControllerAsGlobalDefault() {
    GDefaultController = this;
    GDefaultControllerThread = std::this_thread::get_id();
}

void TqvlgLanguageController::ConfTemplateDef_Push(const QString& ASysName) {
    FTemplateSysDefaultsArr.append(ASysName);
}

void TqvlgLanguageController::ConfTemplateDef_Pop() {
    // The bottom entry (no template system) always stays.
    if (FTemplateSysDefaultsArr.size() > 1)
        FTemplateSysDefaultsArr.removeLast();
}

QString TqvlgLanguageController::TemplateSysDefault() const {
    return FTemplateSysDefaultsArr.isEmpty() ? QString() : FTemplateSysDefaultsArr.last();
}

QString TqvlgLanguageController::Get_Language_Match(const QString& ATest) const {
    if (SameText(ATest, QStringLiteral("es")) && !FWork_Root.isEmpty() &&
        QFileInfo(FWork_Root + QStringLiteral("es-us")).isDir())
        return QStringLiteral("es-us");
    return ATest;
}

bool TqvlgLanguageController::PrimaryIsNative() const {
    return SameText(FLanID_Primary, FLanID_Native_CompiledConcept);
}

QString TqvlgLanguageController::MakeCacheID(const QString& ALanID, const QString& ATransID) {
    return ALanID + QLatin1Char('|') + ATransID;
}

int TqvlgLanguageController::FindCacheIndex(const QString& ATransID, int* AInsertAt) const {
    const QString key = ATransID.toLower();
    const auto it =
        std::lower_bound(FTranslations.begin(), FTranslations.end(), key,
                         [](const std::unique_ptr<TCacheEntry>& AEntry, const QString& AKey) {
                             return AEntry->ID.toLower() < AKey;
                         });
    if (AInsertAt != nullptr)
        *AInsertAt = static_cast<int>(it - FTranslations.begin());
    if (it != FTranslations.end() && (*it)->ID.toLower() == key)
        return static_cast<int>(it - FTranslations.begin());
    return -1;
}

int TqvlgLanguageController::EnsureCacheTrans(const QString& ATransID, TqvlgOptTrans AOptTrans) {
    int insertAt = 0;
    const int found = FindCacheIndex(ATransID, &insertAt);
    if (found >= 0)
        return found;

    const qsizetype bar = ATransID.indexOf(QLatin1Char('|'));
    if (bar <= 0 || bar == ATransID.size() - 1)
        throw EqvParamWrong(QStringLiteral("Translation cache ID \"%1\" is not "
                                           "\"<language>|<translation ID>\"")
                                .arg(ATransID));
    const QString lanID = ATransID.left(bar).toLower();
    const QString transID = ATransID.mid(bar + 1);

    // Without a translations folder there are no files, rather than files in the current
    // folder.
    QString utf8Path;
    QString legacyPath;
    if (!FWork_Root.isEmpty()) {
        const QString folder = FWork_Root + lanID + QLatin1Char('/');
        const bool hasPrefix = transID.startsWith(KUtf8Prefix, Qt::CaseInsensitive);
        utf8Path = folder + (hasPrefix ? transID : KUtf8Prefix + transID);
        if (!hasPrefix)
            legacyPath = folder + transID;
    }
    const bool utf8Exists = !utf8Path.isEmpty() && IsFile(utf8Path);
    const bool legacyExists = !legacyPath.isEmpty() && IsFile(legacyPath);

    if (AOptTrans == TqvlgOptTrans::lgotSet && HasRule(lgrDeleteTransBackendFirstIfNative) &&
        PrimaryIsNative()) {
        if (utf8Exists)
            QFile::remove(utf8Path);
        if (legacyExists)
            QFile::remove(legacyPath);
    }
    if (AOptTrans == TqvlgOptTrans::lgotGet && !utf8Exists && !legacyExists)
        return -1;

    auto entry = std::make_unique<TCacheEntry>();
    entry->ID = ATransID;
    entry->FilePath = utf8Path;
    if (!utf8Path.isEmpty() && IsFile(utf8Path))
        entry->Ini = TIniDocument::FromFile(utf8Path);
    else if (!legacyPath.isEmpty() && IsFile(legacyPath))
        entry->Ini = TIniDocument::FromText(ReadTextFileAuto(legacyPath));
    FTranslations.insert(FTranslations.begin() + insertAt, std::move(entry));
    return insertAt;
}

void TqvlgLanguageController::ResetCachePartial() {
    std::erase_if(FTranslations, [this](const std::unique_ptr<TCacheEntry>& AEntry) {
        const QString lanID = AEntry->ID.section(QLatin1Char('|'), 0, 0);
        return !SameText(lanID, FLanID_Primary) && !SameText(lanID, FLanID_Native_CompiledConcept);
    });
}

void TqvlgLanguageController::ResetCacheFull() {
    FTranslations.clear();
}

QStringList TqvlgLanguageController::CachedTransIDs() const {
    QStringList ids;
    for (const auto& entry : FTranslations)
        ids << entry->ID;
    return ids;
}

TIniDocument* TqvlgLanguageController::CachedTrans(int AIndex) {
    if (AIndex < 0 || AIndex >= static_cast<int>(FTranslations.size()))
        return nullptr;
    return &FTranslations[static_cast<size_t>(AIndex)]->Ini;
}

TIniDocument* TqvlgLanguageController::TransForGet(const QString& ALanID, const QString& ATransID) {
    return CachedTrans(EnsureCacheTrans(MakeCacheID(ALanID, ATransID), TqvlgOptTrans::lgotGet));
}

TIniDocument& TqvlgLanguageController::NativeTransForSet(const QString& ATransID) {
    const int index = EnsureCacheTrans(MakeCacheID(FLanID_Native_CompiledConcept, ATransID),
                                       TqvlgOptTrans::lgotSet);
    return *CachedTrans(index);
}

void TqvlgLanguageController::AddTemplateSys(const QString& ASysName, const QString& AMatchStart,
                                             const QString& AMatchEnd) {
    const QString key = ASysName.toLower();
    if (FTemplateSystems.contains(key))
        return;
    FTemplateSystems.insert(key, {ASysName, TqvlgTemplateSystem{AMatchStart, AMatchEnd}});
}

void TqvlgLanguageController::AddTemplateVar(const QString& AVarName, const QString& AReplaceStr,
                                             const TqvlgTemplateStrEvent& AReplaceEvent,
                                             bool AEditIfExists) {
    const QString key = AVarName.toLower();
    if (FTemplateVariables.contains(key) && !AEditIfExists)
        return;
    FTemplateVariables.insert(key, {AVarName, TqvlgTemplateVariable{AReplaceStr, AReplaceEvent}});
}

const TqvlgTemplateVariable* TqvlgLanguageController::FindTemplateVar(
    const QString& AVarName, QString* ARegisteredName) const {
    const auto it = FTemplateVariables.constFind(AVarName.toLower());
    if (it == FTemplateVariables.constEnd())
        return nullptr;
    if (ARegisteredName != nullptr)
        *ARegisteredName = it->first;
    return &it->second;
}

QString TqvlgLanguageController::UseTemplateOnStr(const QString& ASysName,
                                                  const QString& AStr) const {
    if (ASysName.isEmpty())
        return AStr;
    const auto sysIt = FTemplateSystems.constFind(ASysName.toLower());
    if (sysIt == FTemplateSystems.constEnd())
        return AStr;
    const TqvlgTemplateSystem& sys = sysIt->second;
    if (sys.MatchStart.isEmpty() || sys.MatchEnd.isEmpty())
        return AStr;

    // One pass from left to right: what was put in is never searched again, and every
    // occurrence of a name (in any letter case) gets the same value, asked for once.
    QMap<QString, QString> values;
    QString out;
    qsizetype pos = 0;
    while (pos < AStr.size()) {
        const qsizetype start = AStr.indexOf(sys.MatchStart, pos);
        if (start < 0)
            break;
        const qsizetype nameStart = start + sys.MatchStart.size();
        const qsizetype end = AStr.indexOf(sys.MatchEnd, nameStart);
        if (end < 0)
            break;
        const QString name = AStr.mid(nameStart, end - nameStart);
        const QString nameKey = name.toLower();
        auto valueIt = values.constFind(nameKey);
        if (valueIt == values.constEnd()) {
            QString registeredName;
            QString value = name;  // an unknown variable becomes its bare name
            if (const TqvlgTemplateVariable* var = FindTemplateVar(name, &registeredName)) {
                if (!var->ReplaceStr.isEmpty() || !var->ReplaceEvent)
                    value = var->ReplaceStr;
                else
                    value = var->ReplaceEvent(registeredName);
            }
            valueIt = values.insert(nameKey, value);
        }
        out += QStringView(AStr).sliced(pos, start - pos);
        out += *valueIt;
        pos = end + sys.MatchEnd.size();
    }
    out += QStringView(AStr).sliced(pos);
    return out;
}

void TqvlgLanguageController::Set_TransResStr_Native(const QString& ATransID,
                                                     const QString& ASection, const QString& AKey,
                                                     const QString& AVal,
                                                     const QString& ATmplSysName) {
    TIniDocument& ini = NativeTransForSet(ATransID);
    const QString section = KResPrefix + ASection;
    ini.WriteString(section, AKey + KValueSuffix, EscapeTransValue(AVal));
    // A registration without template replaces an earlier one that had a template.
    if (ATmplSysName.isEmpty())
        ini.DeleteKey(section, AKey + KTemplateSuffix);
    else
        ini.WriteString(section, AKey + KTemplateSuffix, ATmplSysName);
}

QString TqvlgLanguageController::Get_TransResStr(const QString& ATransID, const QString& ASection,
                                                 const QString& AKey, const QString& ADefStr,
                                                 bool ADefSet) {
    if (HasRule(lgrAlwaysReturnEmptyStrs))
        return {};
    if (ADefSet && HasRule(lgrTryAvoidTransBackendIfNative) && PrimaryIsNative())
        return UseTemplateOnStr(TemplateSysDefault(), ADefStr);

    const QString section = KResPrefix + ASection;
    const QString valueKey = AKey + KValueSuffix;
    const TIniDocument* found = TransForGet(FLanID_Primary, ATransID);
    if (found != nullptr && !found->ValueExists(section, valueKey))
        found = nullptr;
    if (found == nullptr && !PrimaryIsNative()) {
        found = TransForGet(FLanID_Native_CompiledConcept, ATransID);
        if (found != nullptr && !found->ValueExists(section, valueKey))
            found = nullptr;
    }
    if (found == nullptr) {
        if (HasRule(lgrThrowExceptIfNoTransAtAll))
            throw EqvNoTranslationFound(ATransID + QStringLiteral(" [") + section +
                                        QStringLiteral("] ") + valueKey);
        return ADefStr;
    }
    QString value = UnescapeTransValue(found->ReadString(section, valueKey));
    const QString tmplSys = found->ReadString(section, AKey + KTemplateSuffix).trimmed();
    if (!tmplSys.isEmpty())
        value = UseTemplateOnStr(tmplSys, value);
    return value;
}

QString TqvlgLanguageController::Get_TransResStr_SetNative(const QString& ATransID,
                                                           const QString& ASection,
                                                           const QString& AKey,
                                                           const QString& ADefStr) {
    if (PrimaryIsNative())
        Set_TransResStr_Native(ATransID, ASection, AKey, ADefStr, TemplateSysDefault());
    return Get_TransResStr(ATransID, ASection, AKey, ADefStr, true);
}

void TqvlgLanguageController::Set_TransGuiStr_Native(const QString& ATransID,
                                                     const QString& ASection, const QString& AKey,
                                                     const QString& AVal) {
    if (AVal.isEmpty() && HasRule(lgrIgnoreEmptyGUIStrs))
        return;
    NativeTransForSet(ATransID).WriteString(KGuiPrefix + ASection, AKey, EscapeTransValue(AVal));
}

QString TqvlgLanguageController::Get_TransGuiStr(const QString& ATransID, const QString& ASection,
                                                 const QString& AKey, const QString& ADef) {
    if (HasRule(lgrAlwaysReturnEmptyStrs))
        return {};
    if (!FLanID_Native_CompiledActive.isEmpty() && HasRule(lgrTryAvoidTransBackendIfNative))
        return ADef;

    const QString section = KGuiPrefix + ASection;
    const TIniDocument* found = TransForGet(FLanID_Primary, ATransID);
    if (found != nullptr && !found->ValueExists(section, AKey))
        found = nullptr;
    if (found == nullptr && !PrimaryIsNative()) {
        found = TransForGet(FLanID_Native_CompiledConcept, ATransID);
        if (found != nullptr && !found->ValueExists(section, AKey))
            found = nullptr;
    }
    if (found != nullptr)
        return UnescapeTransValue(found->ReadString(section, AKey));
    if (HasRule(lgrThrowExceptIfNoTransAtAll) && !HasRule(lgrIgnoreEmptyGUIStrs))
        throw EqvNoTranslationFound(ATransID + QStringLiteral(" [") + section +
                                    QStringLiteral("] ") + AKey + QStringLiteral(" = ") + ADef);
    return ADef;
}

void TqvlgLanguageController::Set_TransMetaData_Native(const QString& ATransID,
                                                       const TqvlgTransMetaData& ATransMetaData) {
    TIniDocument& ini = NativeTransForSet(ATransID);
    for (const TMetaField& field : KMetaFields)
        ini.WriteString(KSectionMetaData, QString::fromUtf16(field.Key),
                        ATransMetaData.*field.Field);
}

TqvlgTransMetaData TqvlgLanguageController::Get_TransMetaData(const QString& ALanID,
                                                              const QString& ATransID) {
    QString foundLanID = ALanID;
    TIniDocument* ini = TransForGet(ALanID, ATransID);
    if (ini == nullptr && !SameText(ALanID, FLanID_Primary)) {
        foundLanID = FLanID_Primary;
        ini = TransForGet(FLanID_Primary, ATransID);
    }
    if (ini == nullptr && !PrimaryIsNative()) {
        foundLanID = FLanID_Native_CompiledConcept;
        ini = TransForGet(FLanID_Native_CompiledConcept, ATransID);
    }

    TqvlgTransMetaData meta;
    if (ini == nullptr)
        return meta;
    for (const TMetaField& field : KMetaFields)
        meta.*field.Field = ini->ReadString(KSectionMetaData, QString::fromUtf16(field.Key));
    // A file without its language ID is known by the folder it came from (not by the language
    // asked for, which differs when a fallback entry was found).
    if (meta.Lingua_ID.isEmpty()) {
        meta.Lingua_ID = foundLanID;
        ini->WriteString(KSectionMetaData, QString::fromUtf16(KMetaFields[0].Key), foundLanID);
    }
    return meta;
}

QString TqvlgLanguageController::MakeKeySafe(const QString& AKey) {
    QString out;
    for (const QChar c : AKey.trimmed()) {
        const char16_t u = c.unicode();
        if ((u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || (u >= u'0' && u <= u'9'))
            out += c;
    }
    return out;
}
