#pragma once
// One widget per control of the window model: which widget shows which kind of control, and how
// a widget is brought up to its control's state. Widgets never decide anything themselves.
#include <QIcon>
#include <QWidget>

#include "model/controls.h"

namespace kestrun::ui {

// A widget for the control's kind, placed at the control's position inside `parent`. A button
// with a picture shows the picture in place of its caption.
QWidget* CreateControlWidget(const Control& control, QWidget* parent,
                             const QIcon& picture = QIcon());

// Copies text, value or selection, list items, enabled, visible and tooltip from the control.
// While `inputsLocked`, every control a person could change is shown disabled; text boxes
// become read-only instead, so that what they say stays readable.
void RenderControl(const Control& control, QWidget* widget, bool inputsLocked);

// Controls a person can change or press (everything but labels and frames).
bool IsInput(ControlKind kind);

}  // namespace kestrun::ui
