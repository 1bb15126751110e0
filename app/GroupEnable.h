#pragma once
// Enabling and disabling a group of controls at once (the controls of a running connection).

class QWidget;

/// Tag that marks a nested container whose own children are switched one by one.
inline constexpr int NestedGroupTag = 170;

/// The integer Tag of a control (0 when it has none).
int Tag(const QWidget *control);
void SetTag(QWidget *control, int tag);

/// Switches every child control of container, descending into children tagged
/// NestedGroupTag, then switches the container itself, and repaints it at once: one paint
/// shows every control's new state before the caller goes on.
void SetGroupEnabled(bool enabled, QWidget *container);

/// The same without the paint, for a caller that switches several groups and paints once.
void SwitchGroupEnabled(bool enabled, QWidget *container);
