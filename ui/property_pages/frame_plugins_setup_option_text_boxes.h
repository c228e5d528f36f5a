#pragma once

#include <vector>

#include "ui/property_pages/frame_common.h"

class QGridLayout;
class QLabel;
class QLineEdit;

// The page of a text-box property: per declared box a row 21 pixels high with the caption and
// ":" at the left and the edit box (named "ppn" + the box identifier) filling the rest, 9 pixels
// apart. Offers insert file path and the text editor while one of its boxes has the focus; its
// check asks the plugin about each box.
class TFramePluginsSetupOptionTextBoxes : public TFrameCommonPlugin {
public:
    static constexpr int KRowHeight = 21;
    static constexpr int KLabelGap = 6;
    static constexpr int KRowGap = 9;

    explicit TFramePluginsSetupOptionTextBoxes(const TFrameServices& AServices);

    void DoInitData(const QByteArray& AStream, const QString& APropName,
                    TPluginStoredLibInfo* ACurPSLI) override;
    void SavePerstStreamData_Memory(QByteArray& AMemoryStream) const override;
    void LoadPerstStreamData_Memory(const QByteArray& AMemoryStream) override;

    bool Can_ServiceRequest_InsertFilePath() const override;
    bool Can_ServiceRequest_OpenTextEditor() const override;
    bool ServiceRequest_InsertFilePath() override;
    bool ServiceRequest_OpenTextEditor() override;
    bool QueryCloseFrame() override;

    const std::vector<QLineEdit*>& Boxes() const { return FBoxes; }
    QLineEdit* BoxOf(const QString& ATextBoxID) const;
    // The box that has the focus, or null.
    QLineEdit* FocusedBox() const;

private:
    QGridLayout* FRows;
    std::vector<QLineEdit*> FBoxes;
};
