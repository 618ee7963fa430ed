#pragma once
// What the disc windows use of the tool windows' dialogs: the folder chooser
// and the encoder settings dialog in the ripper's mode. The program fills
// this in when it creates the windows, as it hands the main window its
// ToolWindows; the disc windows never include the tool windows' headers.

#include <QString>

class QWidget;

// A folder chosen to add, and whether its subfolders go with it.
struct DiscFolderChoice {
    QString folder;  // empty when cancelled
    bool includeSubfolders = true;
};

class DiscToolServices {
public:
    virtual ~DiscToolServices() = default;
    // The folder chooser centred over caller, modal; empty when cancelled.
    virtual QString chooseFolder(QWidget* caller) const = 0;
    // The same with a prompt above the folders and the "include
    // subfolders" box shown.
    virtual DiscFolderChoice chooseFolderToAdd(QWidget* caller, const QString& prompt) const {
        return {chooseFolder(caller), true};
    }
    // The encoder settings dialog with every tab of the ripper (its section
    // [cd ripper]), centred over caller, modal; true when closed with OK.
    // The ripper reads what was chosen from the INI file afterwards.
    virtual bool showEncoderSettings(QWidget* caller) const = 0;
};

// Installed by the program; null until then (tests install their own).
void SetDiscToolServices(const DiscToolServices* services);
const DiscToolServices* CurrentDiscToolServices();
