#pragma once
// The library tree: a fixed skeleton ("Title" with "Alphabetic", the letters
// and "Extra", and "All Title"; then "My Artist", "My Habit", "My Playlist",
// "My Album") and the leaves under "My Artist", "My Playlist" and "My Album".
// Fixed nodes are known by identity, never by their text: an album called
// "All Title" is an album. Nodes are also addressed by their absolute index,
// the position in tree order from 0.
//
// A root's leaves are made when they are first needed: when the root is
// expanded, or when a caller asks for the root, a leaf or an index among
// them. Until then the root holds their texts alone, so that a library of
// tens of thousands of artists starts as fast as a small one.

#include <QHash>
#include <QList>
#include <QIcon>
#include <QTreeWidget>

#include <functional>
#include <memory>
#include <string_view>
#include <string>
#include <vector>

#include "library/libraryfill.h"
#include "library/treetext.h"

class LibraryTree : public QTreeWidget {
    Q_OBJECT
public:
    // Absolute indexes of the fixed nodes before the first artist.
    static constexpr int kMyArtistIndex = 30;

    explicit LibraryTree(QWidget* parent = nullptr);

    // Replaces every leaf by the content's.
    void setContent(const LibraryTreeContent& content) { setContent(LibraryTreeContent(content)); }
    void setContent(LibraryTreeContent&& content);
    // The same from the leaves of a tree file, read in place.
    void setLeaves(TreeTextLeaves&& leaves);
    LibraryTreeContent content() const;
    // No leaf was made since the last setContent: the leaves are still
    // exactly the texts it was given.
    bool leavesUnmade() const;

    QTreeWidgetItem* allTitleNode() const { return allTitle_; }
    QTreeWidgetItem* myArtistNode() const { return built(myArtist_); }
    QTreeWidgetItem* myHabitNode() const { return myHabit_; }
    QTreeWidgetItem* myPlaylistNode() const { return built(myPlaylist_); }
    QTreeWidgetItem* myAlbumNode() const { return built(myAlbum_); }

    // The leaf with this text (exact), added as the last child when missing.
    QTreeWidgetItem* ensureArtist(const QString& text) { return ensure(myArtist_, artists_, text); }
    QTreeWidgetItem* ensureAlbum(const QString& text) { return ensure(myAlbum_, albums_, text); }
    QTreeWidgetItem* ensurePlaylist(const QString& text) { return ensure(myPlaylist_, playlists_, text); }
    // The first leaf with this text, or null.
    QTreeWidgetItem* findArtist(const QString& text) const { return built(myArtist_), artists_.value(text); }
    QTreeWidgetItem* findAlbum(const QString& text) const { return built(myAlbum_), albums_.value(text); }
    QTreeWidgetItem* findPlaylist(const QString& text) const { return built(myPlaylist_), playlists_.value(text); }
    // Deletes a leaf; fixed nodes are never deleted. True when it was a leaf.
    bool removeLeaf(QTreeWidgetItem* leaf);
    // Deletes the leaves of root ("My Artist", "My Playlist" or "My Album")
    // whose text is not named, in one pass; the others keep their order.
    // Returns how many went.
    int pruneLeaves(QTreeWidgetItem* root, const std::function<bool(const QString&)>& named);
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
    // Makes the leaves root still holds as texts; returns root.
    QTreeWidgetItem* built(QTreeWidgetItem* root) const;
    // Texts of leaves not made yet: strings of their own, or places in the
    // bytes of the tree file they were read from.
    struct PendingLeaves {
        std::vector<std::string> texts;
        std::shared_ptr<const std::string> bytes;
        std::vector<TreeTextLeaves::Span> spans;

        std::size_t size() const { return bytes ? spans.size() : texts.size(); }
        bool empty() const { return size() == 0; }
        std::string_view text(std::size_t i) const {
            return bytes ? std::string_view(*bytes).substr(spans[i].offset, spans[i].size) : std::string_view(texts[i]);
        }
        void clear() { *this = PendingLeaves{}; }
    };
    PendingLeaves* pendingOf(const QTreeWidgetItem* root) const;
    // Leaves of root, made or not.
    int leafCount(const QTreeWidgetItem* root) const;
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
    // Texts of leaves not made yet, by root; a root has either these or children.
    mutable PendingLeaves pendingArtists_, pendingPlaylists_, pendingAlbums_;
    QList<QIcon> images_;
};
