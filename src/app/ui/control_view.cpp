#include "app/ui/control_view.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>

#include "app/ui/picture_button.h"
#include "app/ui/twips.h"

namespace kestrun::ui {
namespace {

QWidget* NewWidget(ControlKind kind, QWidget* parent) {
    switch (kind) {
        case ControlKind::TextBox:
            return new QLineEdit(parent);
        case ControlKind::Button:
            return new QPushButton(parent);
        case ControlKind::CheckBox:
            return new QCheckBox(parent);
        case ControlKind::DropDownList:
        case ControlKind::ComboBox:
            return new QComboBox(parent);
        case ControlKind::Label: {
            auto* label = new QLabel(parent);
            label->setTextFormat(Qt::PlainText);
            return label;
        }
        case ControlKind::Frame:
            return new QGroupBox(parent);
        case ControlKind::OptionButton: {
            // The model decides which format button is on; Qt must not switch the others.
            auto* option = new QRadioButton(parent);
            option->setAutoExclusive(false);
            return option;
        }
    }
    return new QWidget(parent);
}

void RenderItems(const ListControl& list, QComboBox* combo) {
    QSignalBlocker quiet(combo);
    bool same = combo->count() == list.ListCount();
    for (int i = 0; same && i < list.ListCount(); ++i)
        same = combo->itemText(i).toStdString() == list.items()[i];
    if (!same) {
        combo->clear();
        for (const auto& item : list.items()) combo->addItem(QString::fromStdString(item));
    }
    if (combo->currentIndex() != list.selectedIndex()) combo->setCurrentIndex(list.selectedIndex());
}

void RenderText(const Control& control, QWidget* widget) {
    const QString text = QString::fromStdString(control.text());
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        if (edit->text() != text) edit->setText(text);
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        if (button->text() != text) button->setText(text);
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
        if (label->text() != text) label->setText(text);
    } else if (auto* frame = qobject_cast<QGroupBox*>(widget)) {
        if (frame->title() != text) frame->setTitle(text);
    }
}

void RenderValue(const Control& control, QWidget* widget) {
    if (const auto* box = dynamic_cast<const CheckBox*>(&control)) {
        auto* check = static_cast<QCheckBox*>(widget);
        QSignalBlocker quiet(check);
        check->setChecked(box->value() == 1);
    } else if (const auto* option = dynamic_cast<const OptionButton*>(&control)) {
        auto* radio = static_cast<QRadioButton*>(widget);
        QSignalBlocker quiet(radio);
        radio->setChecked(option->value());
    } else if (const auto* list = dynamic_cast<const ListControl*>(&control)) {
        RenderItems(*list, static_cast<QComboBox*>(widget));
    }
}

}  // namespace

bool IsInput(ControlKind kind) { return kind != ControlKind::Label && kind != ControlKind::Frame; }

QWidget* CreateControlWidget(const Control& control, QWidget* parent, const QIcon& picture) {
    QWidget* widget = control.kind() == ControlKind::Button && !picture.isNull()
                          ? new PictureButton(picture, parent)
                          : NewWidget(control.kind(), parent);
    widget->setObjectName(QString::fromStdString(control.name()));
    widget->setGeometry(PixelRect(control.pos()));
    return widget;
}

void RenderControl(const Control& control, QWidget* widget, bool inputsLocked) {
    RenderText(control, widget);
    RenderValue(control, widget);
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        // A locked text box stays readable, the progress line above all; it only takes no typing.
        edit->setReadOnly(inputsLocked);
        edit->setEnabled(control.enabled);
    } else {
        widget->setEnabled(control.enabled && !(inputsLocked && IsInput(control.kind())));
    }
    if (widget->isHidden() == control.visible) widget->setVisible(control.visible);
    const QString tip = QString::fromStdString(control.tooltip);
    if (widget->toolTip() != tip) widget->setToolTip(tip);
}

}  // namespace kestrun::ui
