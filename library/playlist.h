#pragma once
// The playlist window: a free list of files played by a player of its own, apart from the library.

#include <QWidget>

class Tfm_playlist : public QWidget {
    Q_OBJECT
public:
    explicit Tfm_playlist(QWidget* parent = nullptr);
};

extern Tfm_playlist* fm_playlist;
