#pragma once
// The small pictures of the library tree and the track list, drawn here so
// that no image files are needed.

#include <QIcon>
#include <QList>

// The tree's five node images: 0 playlist, 1 title, 2 habit, 3 artist, 4 album.
QList<QIcon> TreeNodeImages();
// The list's images: 0 ascending header, 1 descending header, 2 a row.
QList<QIcon> TrackListImages();
