#pragma once
// The windows of the audio file tools and the disc tools that the main window
// opens from its skin. The program hands the main window this table when it
// creates the windows, so the library reaches those windows without knowing
// their classes.

class QWidget;

enum class ToolWindow { Recorder, Cutter, Combine, Ripper, AudioWriter, DataWriter };

class ToolWindows {
public:
    virtual ~ToolWindows() = default;
    // Null when the program made no such window.
    virtual QWidget* toolWindow(ToolWindow which) const = 0;
};
