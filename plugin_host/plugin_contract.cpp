#include "plugin_host/plugin_contract.h"

#include <algorithm>
#include <cstring>

#include "platform/ansi_code_page.h"

QString FromWString(TPlvWStr AText) {
    if (AText == nullptr)
        return {};
    return QString::fromUtf16(AText);
}

QString FromAString(TPlvAStr AText) {
    if (AText == nullptr)
        return {};
    return TAnsiCodePage::System().Decode(QByteArray(AText));
}

TPluginInfoHost TPluginInfoHost::FromRecord(const TPluginInfo& AInfo) {
    TPluginInfoHost info;
    info.StrID = FromWString(AInfo.StrID);
    info.Author = FromWString(AInfo.Author);
    info.CopyRight = FromWString(AInfo.CopyRight);
    info.PluginName = FromWString(AInfo.PluginName);
    info.PluginDesc = FromWString(AInfo.PluginDesc);
    info.HasCompany = FromWString(AInfo.HasCompany);
    info.HasEmail = FromWString(AInfo.HasEmail);
    info.HasUrl = FromWString(AInfo.HasUrl);
    info.CanLaunchFilesSep = FromWString(AInfo.CanLaunchFilesSep);
    info.CanLaunchFilesList = FromWString(AInfo.CanLaunchFilesList);
    info.PluginLoadingScheme = AInfo.PluginLoadingScheme;
    info.HasLogo = FromWString(AInfo.HasLogo);
    info.SuggestedExts = FromWString(AInfo.SuggestedExts);
    info.PluginVersion = FromWString(AInfo.PluginVersion);
    info.InterfaceVersion = FromWString(AInfo.InterfaceVersion);
    info.PluginCategory = AInfo.PluginCategory;
    std::uint32_t canWork = 0;
    std::uint32_t release = 0;
    std::memcpy(&canWork,
                reinterpret_cast<const char*>(&AInfo) + offsetof(TPluginInfo, CanWorkCategory),
                sizeof canWork);
    std::memcpy(&release,
                reinterpret_cast<const char*>(&AInfo) + offsetof(TPluginInfo, ReleaseState),
                sizeof release);
    info.CanWorkCategory = canWork;
    info.ReleaseState = release;
    return info;
}

TWorkPathOutput::TWorkPathOutput(const QString& AInputPath) {
    const qsizetype count = std::min<qsizetype>(AInputPath.size(), PLV_SAFE_PATH_MAX_CHARS);
    std::copy_n(WStr(AInputPath), count, Buffer);
    Props.WorkPathNameOut = &Buffer;
}

QString TWorkPathOutput::OutputPath() const {
    const TPlvWChar* end = std::find(std::begin(Buffer), std::end(Buffer), TPlvWChar(0));
    return QString::fromUtf16(Buffer, end - std::begin(Buffer));
}

bool TWorkPathOutput::SetOutputPath(const QString& APath) {
    if (APath.size() > PLV_SAFE_PATH_MAX_CHARS)
        return false;
    ClearOutputPath();
    std::copy_n(WStr(APath), APath.size(), Buffer);
    return true;
}

void TWorkPathOutput::ClearOutputPath() {
    std::fill(std::begin(Buffer), std::end(Buffer), TPlvWChar(0));
}

QString UnassignedHandlerText(const QString& AWho, const QString& AFunction, const QString& AOn) {
    return QStringLiteral("%1 tryed to call function \"%2\" on %3 which handler is unassigned")
        .arg(AWho, AFunction, AOn);
}
