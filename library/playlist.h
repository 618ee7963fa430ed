#pragma once
// The playlist window: a free list of files played by a player of its own, apart from the library.

#include <QWidget>
#include <string>

class Tfm_playlist : public QWidget {
    Q_OBJECT
public:
    explicit Tfm_playlist(QWidget* parent = nullptr);

    // Written by the main window at its start from its settings.
    bool LoopPlay = false;
    bool RandomPlay = false;
    int PlaylistIndex = -1;
    std::string PlayingPath;
};

extern Tfm_playlist* fm_playlist;
