#pragma once

// The host's side of checking property values with their plugin before they are kept: the
// walks over a page's values that call the plugin's verify entry points, and what the plugin's
// problem reports are turned into. The pages decide what a problem does on the screen.

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

class TPluginProperty;
class TPluginStoredLibInfo;

// The message box texts of a problem: the error, a blank line (a line break for grids), the
// advice.
QString TextBoxProblemMessage(const QString& AErrorMsg, const QString& AAdviceMsg);
QString GridProblemMessage(const QString& AErrorMsg, const QString& AAdviceMsg);
QString FileProblemMessage(const QString& AErrorMsg, const QString& AAdviceMsg);

// One text box's value.
struct TTextBoxCheckValue {
    QString TextBoxID;
    QString Text;
};
// What a text-box problem does: the new result (true: the user chose to keep the value), or
// nothing when the page has no box of that identifier (the result stays).
using TTextBoxProblemAnswer =
    std::function<std::optional<bool>(const QString& ATextBoxID, const QString& AMessage)>;
// Asks the plugin about each box in order while the result is true; the result.
bool VerifyTextBoxValues(TPluginStoredLibInfo& APlugin, const QString& APropName,
                         const std::vector<TTextBoxCheckValue>& AValues,
                         const TTextBoxProblemAnswer& AOnProblem);

// What a grid problem does (the result is then false): ADataRow is the row's index among all
// data rows (ignored rows counted), AColumn the plugin's field index in the row.
using TGridProblemAnswer = std::function<void(int ADataRow, int AColumn, const QString& AMessage)>;
// ACells holds the data cells row by row, AColCount per row; the rows the property's row-ignore
// level keeps are handed to the plugin one by one (cells in column order) until it reports a
// problem. For the trimmed levels the cells are trimmed in ACells as well.
bool VerifyGridValues(TPluginStoredLibInfo& APlugin, const TPluginProperty& AProperty,
                      QStringList& ACells, int AColCount, const TGridProblemAnswer& AOnProblem);

// What a file problem does (the result is then false): ACharPos is the plugin's character
// position in the document.
using TFileProblemAnswer = std::function<void(int ACharPos, const QString& AMessage)>;
// Writes the document to a new verification file in ATempFolder, hands its path to the plugin
// and deletes it again. A file that cannot be written raises EqvOperationNotPossible (the
// plugin is not asked).
bool VerifyFileValue(TPluginStoredLibInfo& APlugin, const QString& APropName,
                     const QString& ADocument, const QString& ATempFolder,
                     const TFileProblemAnswer& AOnProblem);

// The verification file: "temp" + the first number from 1 upward that names no file yet +
// ".tmp" in ATempFolder, created exclusively, holding the document as UTF-16 LE without a
// byte-order mark. Returns its path; raises EqvOperationNotPossible when it cannot be written
// completely (nothing is left behind then).
QString WriteVerificationFile(const QString& ATempFolder, const QString& ADocument);

// Where a whole combination's check found a problem, for the editor to show that page.
struct TPropertyProblem {
    QString PropName;
    int DataRow = -1;   // grids
    int Column = -1;    // grids
    int CharPos = -1;   // files
    QString TextBoxID;  // text boxes
};
// What the combination check tells the user: the message of a problem, and for text boxes the
// question whether to keep the value (true: keep).
struct TCombinationCheckReports {
    std::function<bool(const TPropertyProblem&, const QString& AMessage)> AskKeepTextBox;
    std::function<void(const TPropertyProblem&, const QString& AMessage)> ShowProblem;
};
// Checks every property of a combination with its plugin, from the stored streams (AStored by
// property name; empty: the declaration defaults), as the pages would: text boxes, grids and
// files are asked, choices always pass. Stops at the first property that fails and returns it;
// nothing when all pass. The plugin must be loaded for editing. ASkipPropName: a property
// checked already (its open page).
std::optional<TPropertyProblem> VerifyCombinationValues(
    TPluginStoredLibInfo& APlugin, const std::function<QByteArray(const QString&)>& AStored,
    const QString& ATempFolder, const TCombinationCheckReports& AReports,
    const QString& ASkipPropName = {});

// The values a page of the kind would show, from the stored stream or (when it is empty) the
// declaration data: the text boxes in declared order; the grid's data cells row by row in the
// declared column order (AColCount gets the number of columns); the document of a file.
std::vector<TTextBoxCheckValue> TextBoxValuesOf(const TPluginProperty& AProperty,
                                                const QByteArray& AStored);
QStringList GridValuesOf(const TPluginProperty& AProperty, const QByteArray& AStored,
                         int& AColCount);
QString FileDocumentOf(const TPluginProperty& AProperty, const QByteArray& AStored);
