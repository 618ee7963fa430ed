#include "library/playlist.h"

Tfm_playlist* fm_playlist = nullptr;

Tfm_playlist::Tfm_playlist(QWidget* parent) : QWidget(parent) { setWindowTitle(QStringLiteral("Playlist")); }
