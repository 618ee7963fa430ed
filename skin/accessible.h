#pragma once
// The skinned controls as assistive technologies see them: the track bar as
// a slider whose value can be read and set, the progress bar with its
// value, the image panel as a picture named by its caption. (The combo box is a standard combo box to them already: its
// items are those of its list.)

class QWidget;

// Makes the program's accessibility factory known; every skinned control
// calls it when it is made, so that a screen reader finds them whenever
// they exist.
void EnsureSkinAccessibility();
// Tells a listening assistive technology that a control's value changed.
void NotifyValueChanged(QWidget* control, int value);
