#pragma once
// The library tree: a fixed skeleton ("Title" with "Alphabetic", the letters
// and "Extra", and "All Title"; then "My Artist", "My Habit", "My Playlist",
// "My Album") and the leaves under "My Artist", "My Playlist" and "My Album".
// Fixed nodes are known by identity, never by their text: an album called
// "All Title" is an album. Nodes are also addressed by their absolute index,
// the position in tree order from 0.

#include <QHash>
#include <QList>
#include <QIcon>
#include <QTreeWidget>

#include "library/libraryfill.h"
#include "library/treetext.h"

class LibraryTree : public QTreeWidget {
    Q_OBJECT
public:
    // Absolute indexes of the fixed nodes before the first artist.
    static constexpr int kAllTitleIndex = 29;
    static constexpr int kMyArtistIndex = 30;

    explicit LibraryTree(QWidget* parent = nullptr);

    // Replaces every leaf by the content's.
    void setContent(const LibraryTreeContent& content);
    LibraryTreeContent content() const;

    QTreeWidgetItem* allTitleNode() const { return allTitle_; }
    QTreeWidgetItem* myArtistNode() const { return myArtist_; }
    QTreeWidgetItem* myHabitNode() const { return myHabit_; }
    QTreeWidgetItem* myPlaylistNode() const { return myPlaylist_; }
    QTreeWidgetItem* myAlbumNode() const { return myAlbum_; }

    // The leaf with this text (exact), added as the last child when missing.
    QTreeWidgetItem* ensureArtist(const QString& text) { return ensure(myArtist_, artists_, text); }
    QTreeWidgetItem* ensureAlbum(const QString& text) { return ensure(myAlbum_, albums_, text); }
    QTreeWidgetItem* ensurePlaylist(const QString& text) { return ensure(myPlaylist_, playlists_, text); }
    // The first leaf with this text, or null.
    QTreeWidgetItem* findArtist(const QString& text) const { return artists_.value(text); }
    QTreeWidgetItem* findAlbum(const QString& text) const { return albums_.value(text); }
    QTreeWidgetItem* findPlaylist(const QString& text) const { return playlists_.value(text); }
    // Deletes a leaf; fixed nodes are never deleted. True when it was a leaf.
    bool removeLeaf(QTreeWidgetItem* leaf);
    // A leaf under "My Artist", "My Playlist" or "My Album".
    bool isLeaf(const QTreeWidgetItem* item) const;

    // What the node lists in the track list.
    NodeFill fillOf(const QTreeWidgetItem* item) const;

    int absoluteIndex(const QTreeWidgetItem* item) const;
    QTreeWidgetItem* itemAtIndex(int absoluteIndex) const;

    // Node images by section: 1 up to "All Title", 3 for "My Artist" and its
    // children, 2 "My Habit", 0 "My Playlist", 4 "My Album".
    void RefreshTreeImages();
    // The image number a node was last given: a leaf's section image from
    // its creation, -1 for a fixed node before the first refresh.
    static int imageOf(const QTreeWidgetItem* item);
    void setImages(const QList<QIcon>& images) { images_ = images; }

private:
    QTreeWidgetItem* newLeaf(const QTreeWidgetItem* root, const QString& text) const;
    QTreeWidgetItem* ensure(QTreeWidgetItem* root, QHash<QString, QTreeWidgetItem*>& index, const QString& text);
    void clearLeaves(QTreeWidgetItem* root, QHash<QString, QTreeWidgetItem*>& index);
    QHash<QString, QTreeWidgetItem*>* indexOf(const QTreeWidgetItem* root);

    QTreeWidgetItem* title_ = nullptr;
    QTreeWidgetItem* alphabetic_ = nullptr;
    QTreeWidgetItem* allTitle_ = nullptr;
    QTreeWidgetItem* myArtist_ = nullptr;
    QTreeWidgetItem* myHabit_ = nullptr;
    QTreeWidgetItem* myPlaylist_ = nullptr;
    QTreeWidgetItem* myAlbum_ = nullptr;
    QHash<QString, QTreeWidgetItem*> artists_, playlists_, albums_;
    QList<QIcon> images_;
};
