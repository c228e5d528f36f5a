#include "ui/property_pages/frame_common.h"

#include <cctype>

#include "base/exceptions.h"
#include "plugin_host/plugin_descriptor.h"
#include "plugin_host/plugin_property.h"
#include "plugin_host/property_values.h"
#include "translation/builtin_texts.h"

TFrameCommon::TFrameCommon(TFrameServices AServices, QString ATransSection, QWidget* AParent)
    : QWidget(AParent), FServices(std::move(AServices)), FTransSection(std::move(ATransSection)) {
    // The window holding the page leaves its texts to it.
    setProperty(KPropFrameSection, FTransSection);
}

bool TFrameCommon::Frame_Print(QPrinter&) {
    return Can_Frame_Print();
}

void TFrameCommon::LanguageCulture_SetNativeOnce_GUI() {
    if (FServices.Assistants != nullptr)
        FServices.Assistants->FControls.Save_Trans_Controls(KTransIdProgram, FTransSection, this);
}

void TFrameCommon::LanguageCulture_LoadCurrent_GUI() {
    if (FServices.Assistants != nullptr)
        FServices.Assistants->FControls.Load_Trans_Controls(KTransIdProgram, FTransSection, this);
}

void TFrameCommon::NotifyEdited() {
    if (FServices.OnEdited)
        FServices.OnEdited();
}

void TFrameCommonPlugin::DoInitData(const QByteArray&, const QString& APropName,
                                    TPluginStoredLibInfo* ACurPSLI) {
    F_PropShared_PropName = APropName;
    F_PropPlugin_CurPSLI = ACurPSLI;
}

void TFrameCommonPlugin::SavePerstStreamData_Memory(QByteArray&) const {}

void TFrameCommonPlugin::LoadPerstStreamData_Memory(const QByteArray&) {}

QString TFrameCommonPlugin::SavePerstStreamData_HexStr() const {
    QByteArray stream;
    SavePerstStreamData_Memory(stream);
    return QString::fromLatin1(stream.toHex().toUpper());
}

void TFrameCommonPlugin::LoadPerstStreamData_HexStr(const QString& AHexStr) {
    const QByteArray digits = AHexStr.trimmed().toLatin1();
    if (digits.size() % 2 != 0)
        throw EqvValueOutOfValidRangeError(
            QStringLiteral("The page's stored values hold an odd number of hexadecimal digits."));
    for (const char digit : digits)
        if (!std::isxdigit(static_cast<unsigned char>(digit)))
            throw EqvValueOutOfValidRangeError(
                QStringLiteral("The page's stored values hold a character that is no "
                               "hexadecimal digit."));
    LoadPerstStreamData_Memory(QByteArray::fromHex(digits));
}

QByteArray TFrameCommonPlugin::ToBatchFromPerstData(const TPluginProperty& AProperty,
                                                    const QByteArray& AFromPerstStream) {
    return ::ToBatchFromPerstData(AProperty, AFromPerstStream);
}

QByteArray TFrameCommonPlugin::ToBatchFromInitData(const TPluginProperty& AProperty,
                                                   const QByteArray& AFromInitStream) {
    return ::ToBatchFromInitData(AProperty, AFromInitStream);
}

const TPluginProperty* TFrameCommonPlugin::Property() const {
    if (F_PropPlugin_CurPSLI == nullptr || F_PropShared_PropName.isEmpty())
        return nullptr;
    return F_PropPlugin_CurPSLI->GetPropertyByName(F_PropShared_PropName);
}

bool TFrameCommonPlugin::Can_ServiceRequest_InsertFilePath() const {
    const TPluginProperty* property = Property();
    return FTrySupportService_InsertFilePath && property != nullptr &&
           (property->FReadyServices & PLV_SERVICE_INSERT_FILE_PATH) != 0;
}

bool TFrameCommonPlugin::Can_ServiceRequest_OpenTextEditor() const {
    const TPluginProperty* property = Property();
    return FTrySupportService_OpenTextEditor && property != nullptr &&
           (property->FReadyServices & PLV_SERVICE_OPEN_TEXT_EDITOR) != 0;
}

void TFrameCommonPlugin::MarkModified() {
    if (FLoading)
        return;
    FModified = true;
    NotifyEdited();
}

void TFrameCommonPlugin::WhileLoading(const std::function<void()>& AFill) {
    const bool before = FLoading;
    FLoading = true;
    try {
        AFill();
    } catch (...) {
        FLoading = before;
        throw;
    }
    FLoading = before;
}

void OpenPluginFrame(TFrameCommonPlugin& AFrame, const QByteArray& AInitData,
                     const QString& APropName, TPluginStoredLibInfo* APlugin,
                     const QByteArray& AStoredStream) {
    AFrame.DoInitData(AInitData, APropName, APlugin);
    if (!AStoredStream.isEmpty())
        AFrame.LoadPerstStreamData_Memory(AStoredStream);
    AFrame.DoInitFrame();
    AFrame.LanguageCulture_SetNativeOnce_GUI();
    AFrame.PrepareFrame();
    AFrame.CommonEndLoadFrame();
    AFrame.SoonShowFrame();
    AFrame.LanguageCulture_LoadCurrent_GUI();
    AFrame.show();
    AFrame.JustShownFrame();
}

QString ItemControlName(const QString& AItemID) {
    return KItemControlPrefix + AItemID;
}

QString ItemIDOfControl(const QString& AControlName) {
    return AControlName.startsWith(KItemControlPrefix) ? AControlName.mid(KItemControlPrefix.size())
                                                       : AControlName;
}
