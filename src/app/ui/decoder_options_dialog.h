#pragma once
// "AC3Filter Options": the settings of our audio decoder, kept in a small file in the program
// folder that the decoder reads at every conversion.
#include <QDialog>
#include <string>

#include "decoder/decoder_settings.h"

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;

namespace kestrun::ui {

class DecoderOptionsDialog : public QDialog {
public:
    DecoderOptionsDialog(const DecoderSettings& settings, QWidget* parent);
    DecoderSettings Settings() const;

private:
    QComboBox* channels_;
    QDoubleSpinBox* gain_;
    QCheckBox* compression_;
};

// Shows the dialog over the settings file and saves what the person accepts.
void EditDecoderSettings(QWidget* parent, const std::string& settingsPath);

}  // namespace kestrun::ui
