#pragma once
// The windows of the audio file tools and the disc tools that the main window
// opens from its menus and its skin. The program hands the main window this
// table when it creates the windows, so the library reaches those windows
// without knowing their classes.

class QWidget;

enum class ToolWindow {
    Recorder,
    Cutter,
    Combine,
    Ripper,
    AudioWriter,
    DataWriter,
    WavConverter,
    Mp3Converter,
    OggConverter,
    WmaConverter,
};

class ToolWindows {
public:
    virtual ~ToolWindows() = default;
    // Null when the program made no such window.
    virtual QWidget* toolWindow(ToolWindow which) const = 0;
    // The job of a converter window, handed over right before the window is
    // shown and read by it while it is open: 1 converts files of the other
    // formats to the window's format, 0 normalizes files of its own format.
    virtual void setJobMode(ToolWindow converter, int mode) const = 0;
    // A window whose job (a recording, a cut, a batch) is running, which a
    // quit would stop; null when none works.
    virtual QWidget* busyToolWindow() const { return nullptr; }
    // Makes at once the windows the program makes after the main window's
    // first paint (the tool windows and the library's dialogs), for a command
    // that needs one of them before then.
    virtual void makeLateWindows() const {}
};
