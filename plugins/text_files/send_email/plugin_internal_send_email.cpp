#include "plugins/text_files/send_email/plugin_internal_send_email.h"

#include <QDateTime>

#include <exception>

#include "base/exceptions.h"
#include "base/text_file.h"
#include "platform/mail_client.h"
#include "plugin_host/internal_plugin_info.h"
#include "plugins/text_files/send_email/mail_message.h"
#include "plugins/text_files/text_helpers/grid_rows.h"

namespace {

const QString KPropSendEmailList = QStringLiteral("SendEmailList");
const QString KColAddress = QStringLiteral("EMAIL_ADDRESS");
const QString KColSubject = QStringLiteral("EMAIL_SUBJECT");
const QString KColContent = QStringLiteral("EMAIL_CONTENT");
const QString KColAttach = QStringLiteral("EMAIL_ATTACH");
const QString KColDialog = QStringLiteral("EMAIL_DIALOG");
// Declared with the address and subject columns as they always were; the editor ignores it.
constexpr std::int32_t KColFlagDeclaredPlain = 256;

}  // namespace

TPluginInternal_SendEmail::TPluginInternal_SendEmail()
    : FInfo(MakeInternalPluginInfo(QStringLiteral("SendEmail"),
                                   QStringLiteral("Use this to email people with files."),
                                   QStringLiteral("1.0"))) {
    FInfo.PluginCategory = pcOfficeRelated;
    FInfo.CanWorkCategory = PLV_CAN_WORK_FILES;
    FInfo.ReleaseState = PLV_RELEASE_STABLE;
}

void TPluginInternal_SendEmail::PluginSetupInit(const TExeInfoHost&,
                                                IExeInitCallbacks& ACallbacks) {
    ACallbacks.ExeMakePropName(
        KPropSendEmailList, QStringLiteral("Send Email List"), vptGrid,
        PLV_SERVICE_OPEN_TEXT_EDITOR, {},
        QStringLiteral("Notice that *every time* this module is triggered, the emails defined "
                       "here will be sent using your existing email program (or be placed in its "
                       "\"outbox\") through Windows MAPI."));
    ACallbacks.ExeSetPropMetasGrid(KPropSendEmailList, pgirlAllRowCellsEmptyWhenTrimmed);
}

void TPluginInternal_SendEmail::PluginSetupPreEdit(const TExeInfoHost&,
                                                   IExePreEditCallbacks& ACallbacks) {
    const QString& prop = KPropSendEmailList;
    ACallbacks.ExeSetPropGridColumnCount(prop, 5);
    ACallbacks.ExeAddPropGridColumn(prop, KColAddress, QStringLiteral("Email Address"), {},
                                    KColFlagDeclaredPlain);
    ACallbacks.ExeAddPropGridColumn(prop, KColSubject, QStringLiteral("Email Subject"), {},
                                    KColFlagDeclaredPlain);
    ACallbacks.ExeAddPropGridColumn(prop, KColContent, QStringLiteral("Email Content"), {},
                                    KColFlagMultiLine);
    ACallbacks.ExeAddPropGridColumn(prop, KColAttach, QStringLiteral("Email Attachment"), {},
                                    KColFlagTrueFalse);
    ACallbacks.ExeAddPropGridColumn(prop, KColDialog, QStringLiteral("Email Dialog"), {},
                                    KColFlagTrueFalse);
    ACallbacks.ExeSetPropDefaultGridValueCount(prop, 5);
    ACallbacks.ExeAddPropDefaultGridValue(prop, 0, 0, QStringLiteral("someone@example.com"));
    ACallbacks.ExeAddPropDefaultGridValue(prop, 1, 0, QStringLiteral("Test subject"));
    ACallbacks.ExeAddPropDefaultGridValue(prop, 2, 0, QStringLiteral("Test content"));
    ACallbacks.ExeAddPropDefaultGridValue(prop, 3, 0, QStringLiteral("False"));
    ACallbacks.ExeAddPropDefaultGridValue(prop, 4, 0, QStringLiteral("True"));
}

void TPluginInternal_SendEmail::PluginSetupWorkStart(const TExeInfoHost&, const QString&,
                                                     IExeWorkCallbacks& ACallbacks) {
    FCallbacks = &ACallbacks;
    FRows.clear();
}

void TPluginInternal_SendEmail::PluginSetupWorkEnd(const TExeInfoHost&) {
    FRows.clear();
    FCallbacks = nullptr;
}

void TPluginInternal_SendEmail::PluginSetPropGridValue(const QString& APropName,
                                                       const QString& AColID, std::int32_t ARowIdx,
                                                       const QString& AFieldValue) {
    if (APropName != KPropSendEmailList)
        return;
    TRow& row = RuleAt(FRows, ARowIdx);
    if (AColID == KColAddress)
        row.Address = AFieldValue;
    else if (AColID == KColSubject)
        row.Subject = AFieldValue;
    else if (AColID == KColContent)
        row.Content = AFieldValue;
    else if (AColID == KColAttach)
        row.Attach = AFieldValue;
    else if (AColID == KColDialog)
        row.Dialog = AFieldValue;
}

void TPluginInternal_SendEmail::Report(const QString& AMessage) const {
    if (FCallbacks != nullptr)
        FCallbacks->ExeHandleWorkPathErrorMsg(AMessage, QString());
}

void TPluginInternal_SendEmail::SendRow(const TRow& ARow, const QString& APath) const {
    TMailMessage message;
    message.To = ARow.Address;
    message.Subject = ARow.Subject;
    message.Body = ARow.Content;
    if (TextToBool(ARow.Attach))
        message.AttachmentPath = APath;
    CheckMailFields(message);
    QString failure;
    if (TextToBool(ARow.Dialog)) {
        // A window the user cancels is no error: the program only reports its own failures.
        failure =
            OpenMailComposeWindow({message.To, message.Subject, MailBodyWithLineEnd(message.Body),
                                   message.AttachmentPath});
    } else {
        failure = SendMailThroughSendmail(
            BuildMimeMessage(message, QDateTime::currentDateTime(), NewMimeBoundary()));
    }
    if (!failure.isEmpty())
        throw EqvOperationNotPossible(QStringLiteral("The email to \"") + message.To +
                                      QStringLiteral("\" was not sent: ") + failure);
}

void TPluginInternal_SendEmail::PluginWorkPath(const QString& AWorkPathNameIn, TWorkPathOutput&) {
    for (std::size_t i = 0; i < FRows.size(); ++i) {
        try {
            SendRow(FRows[i], AWorkPathNameIn);
        } catch (const std::exception& e) {
            // The remaining rows are skipped for this path, and the message says so.
            QString message = QString::fromUtf8(e.what());
            if (const std::size_t left = FRows.size() - i - 1; left > 0)
                message += (left == 1 ? QStringLiteral(" The 1 remaining row was")
                                      : QStringLiteral(" The %1 remaining rows were").arg(left)) +
                           QStringLiteral(" skipped for this path.");
            Report(message);
            return;
        }
    }
}

void TPluginInternal_SendEmail::PluginPrepareVerifyGridRow(const QString& APropName) {
    if (APropName == KPropSendEmailList)
        FVerifyRow.clear();
}

void TPluginInternal_SendEmail::PluginAddVerifyPropGridValue(const QString& APropName,
                                                             const QString& APropValue) {
    if (APropName == KPropSendEmailList)
        FVerifyRow << APropValue;
}

void TPluginInternal_SendEmail::PluginEndVerifyGridRow(
    const QString& APropName, const TExeHandleEditPropGridErrorMsg& AExeCallBack) {
    if (APropName != KPropSendEmailList)
        return;
    const QString address = FVerifyRow.value(0).trimmed();
    FVerifyRow.clear();
    if (address.isEmpty() && AExeCallBack)
        AExeCallBack(0, QStringLiteral("The email path has to be filled."), QString());
}
