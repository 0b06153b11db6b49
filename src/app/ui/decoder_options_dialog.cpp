#include "app/ui/decoder_options_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QMessageBox>
#include <array>
#include <utility>

#include "model/messages.h"

namespace kestrun::ui {
namespace {

QString Q(std::string_view text) { return QString::fromUtf8(text.data(), text.size()); }

// The list's order is the order of these entries.
const std::array<std::pair<OutputChannels, std::string_view>, 4> kChannelChoices{{
    {OutputChannels::AsSource, msg::kDecoderChannelsAsSource},
    {OutputChannels::Mono, msg::kDecoderChannelsMono},
    {OutputChannels::Stereo, msg::kDecoderChannelsStereo},
    {OutputChannels::Surround51, msg::kDecoderChannelsSurround},
}};

}  // namespace

DecoderOptionsDialog::DecoderOptionsDialog(const DecoderSettings& settings, QWidget* parent)
    : QDialog(parent),
      channels_(new QComboBox(this)),
      gain_(new QDoubleSpinBox(this)),
      compression_(new QCheckBox(Q(msg::kDecoderDrcCaption), this)) {
    setObjectName("decoderOptions");
    setWindowTitle(Q(msg::kDecoderOptionsTitle));
    for (const auto& [value, caption] : kChannelChoices) {
        channels_->addItem(Q(caption));
        if (value == settings.channels) channels_->setCurrentIndex(channels_->count() - 1);
    }
    gain_->setRange(DecoderSettings::kMinGainDb, DecoderSettings::kMaxGainDb);
    gain_->setDecimals(1);
    gain_->setSingleStep(0.5);
    gain_->setValue(settings.gainDb);
    compression_->setChecked(settings.dynamicRangeCompression);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* form = new QFormLayout(this);
    form->addRow(Q(msg::kDecoderChannelsLabel), channels_);
    form->addRow(Q(msg::kDecoderGainLabel), gain_);
    form->addRow(compression_);
    form->addRow(buttons);
}

DecoderSettings DecoderOptionsDialog::Settings() const {
    DecoderSettings settings;
    const int index = channels_->currentIndex();
    if (index >= 0 && index < static_cast<int>(kChannelChoices.size()))
        settings.channels = kChannelChoices[index].first;
    settings.gainDb = gain_->value();
    settings.dynamicRangeCompression = compression_->isChecked();
    return settings;
}

void EditDecoderSettings(QWidget* parent, const std::string& settingsPath) {
    DecoderOptionsDialog dialog(DecoderSettings::Load(settingsPath), parent);
    if (dialog.exec() != QDialog::Accepted) return;
    if (dialog.Settings().Save(settingsPath)) return;
    QMessageBox::warning(parent, Q(msg::kDecoderOptionsTitle),
                         Q(msg::kDecoderSaveFailed) + QString::fromStdString(settingsPath));
}

}  // namespace kestrun::ui
