#pragma once
// Enabling and disabling a group of controls at once (the controls of a running connection).

class QWidget;

/// Tag that marks a nested container whose own children are switched one by one.
inline constexpr int NestedGroupTag = 170;

/// The integer Tag of a control (0 when it has none).
int Tag(const QWidget *control);
void SetTag(QWidget *control, int tag);

/// Switches every child control of container, descending into children tagged
/// NestedGroupTag, then switches the container itself. Each control is repainted at once.
void SetGroupEnabled(bool enabled, QWidget *container);
