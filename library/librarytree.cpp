#include "library/librarytree.h"

#include <functional>

namespace {

constexpr int kImageRole = Qt::UserRole + 1;

QTreeWidgetItem* newNode(const QString& text, int image = -1) {
    auto* item = new QTreeWidgetItem(QStringList{text});
    item->setData(0, kImageRole, image);
    return item;
}

void setImage(QTreeWidgetItem* item, int image, const QList<QIcon>& images) {
    if (item->data(0, kImageRole).toInt() == image) return;
    item->setData(0, kImageRole, image);
    if (image < images.size()) item->setIcon(0, images[image]);
}

// Pre-order position of target inside the subtree of item, counted from
// *index; true when found.
bool locate(const QTreeWidgetItem* item, const QTreeWidgetItem* target, int& index) {
    if (item == target) return true;
    ++index;
    for (int i = 0; i < item->childCount(); ++i)
        if (locate(item->child(i), target, index)) return true;
    return false;
}

QTreeWidgetItem* nth(QTreeWidgetItem* item, int& remaining) {
    if (remaining == 0) return item;
    --remaining;
    for (int i = 0; i < item->childCount(); ++i)
        if (QTreeWidgetItem* found = nth(item->child(i), remaining)) return found;
    return nullptr;
}

}  // namespace

LibraryTree::LibraryTree(QWidget* parent) : QTreeWidget(parent) {
    setColumnCount(1);
    setHeaderHidden(true);
    setIndentation(19);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setUniformRowHeights(true);

    QList<QTreeWidgetItem*> parents;
    for (const FixedNode& fixed : kFixedTreeNodes) {
        QTreeWidgetItem* item = newNode(QString::fromUtf8(fixed.text));
        parents.resize(fixed.level);
        if (fixed.level == 0) addTopLevelItem(item);
        else parents.back()->addChild(item);
        parents.append(item);
    }
    title_ = topLevelItem(0);
    alphabetic_ = title_->child(0);
    allTitle_ = title_->child(1);
    myArtist_ = topLevelItem(1);
    myHabit_ = topLevelItem(2);
    myPlaylist_ = topLevelItem(3);
    myAlbum_ = topLevelItem(4);
}

QHash<QString, QTreeWidgetItem*>* LibraryTree::indexOf(const QTreeWidgetItem* root) {
    if (root == myArtist_) return &artists_;
    if (root == myPlaylist_) return &playlists_;
    if (root == myAlbum_) return &albums_;
    return nullptr;
}

void LibraryTree::clearLeaves(QTreeWidgetItem* root, QHash<QString, QTreeWidgetItem*>& index) {
    qDeleteAll(root->takeChildren());
    index.clear();
}

void LibraryTree::setContent(const LibraryTreeContent& content) {
    const std::pair<QTreeWidgetItem*, const std::vector<std::string>*> roots[] = {
        {myArtist_, &content.artists}, {myPlaylist_, &content.playlists}, {myAlbum_, &content.albums}};
    for (const auto& [root, leaves] : roots) {
        QHash<QString, QTreeWidgetItem*>& index = *indexOf(root);
        clearLeaves(root, index);
        QList<QTreeWidgetItem*> items;
        items.reserve(static_cast<qsizetype>(leaves->size()));
        index.reserve(static_cast<qsizetype>(leaves->size()));
        for (const std::string& leaf : *leaves) {
            const QString text = QString::fromStdString(leaf);
            QTreeWidgetItem* item = newLeaf(root, text);
            items.append(item);
            // A text listed twice keeps both nodes; lookups find the first.
            if (!index.contains(text)) index.insert(text, item);
        }
        root->addChildren(items);
    }
}

LibraryTreeContent LibraryTree::content() const {
    LibraryTreeContent content;
    const std::pair<QTreeWidgetItem*, std::vector<std::string>*> roots[] = {
        {myArtist_, &content.artists}, {myPlaylist_, &content.playlists}, {myAlbum_, &content.albums}};
    for (const auto& [root, leaves] : roots) {
        leaves->reserve(static_cast<std::size_t>(root->childCount()));
        for (int i = 0; i < root->childCount(); ++i) leaves->push_back(root->child(i)->text(0).toStdString());
    }
    return content;
}

QTreeWidgetItem* LibraryTree::ensure(QTreeWidgetItem* root, QHash<QString, QTreeWidgetItem*>& index,
                                     const QString& text) {
    if (QTreeWidgetItem* found = index.value(text)) return found;
    QTreeWidgetItem* item = newLeaf(root, text);
    root->addChild(item);
    index.insert(text, item);
    return item;
}

bool LibraryTree::isLeaf(const QTreeWidgetItem* item) const {
    if (!item || !item->parent()) return false;
    const QTreeWidgetItem* p = item->parent();
    return p == myArtist_ || p == myPlaylist_ || p == myAlbum_;
}

bool LibraryTree::removeLeaf(QTreeWidgetItem* leaf) {
    if (!isLeaf(leaf)) return false;
    QTreeWidgetItem* root = leaf->parent();
    QHash<QString, QTreeWidgetItem*>& index = *indexOf(root);
    const QString text = leaf->text(0);
    delete leaf;
    if (index.value(text) == leaf) {
        index.remove(text);
        for (int i = 0; i < root->childCount(); ++i)
            if (root->child(i)->text(0) == text) {
                index.insert(text, root->child(i));
                break;
            }
    }
    return true;
}

NodeFill LibraryTree::fillOf(const QTreeWidgetItem* item) const {
    NodeFill fill;
    if (!item) return fill;
    const QTreeWidgetItem* parent = item->parent();
    if (parent == alphabetic_) {
        const int i = alphabetic_->indexOfChild(const_cast<QTreeWidgetItem*>(item));
        if (i < 26) {
            fill.kind = NodeKind::Letter;
            fill.letter = static_cast<char>('A' + i);
        } else {
            fill.kind = NodeKind::Extra;
        }
    } else if (item == allTitle_) {
        fill.kind = NodeKind::AllTitle;
    } else if (item == myHabit_) {
        fill.kind = NodeKind::MyHabit;
    } else if (parent == myArtist_ || parent == myAlbum_ || parent == myPlaylist_) {
        fill.kind = parent == myArtist_ ? NodeKind::Artist : parent == myAlbum_ ? NodeKind::Album : NodeKind::Playlist;
        fill.text = item->text(0).toStdString();
    }
    return fill;
}

int LibraryTree::absoluteIndex(const QTreeWidgetItem* item) const {
    if (!item) return -1;
    int index = 0;
    for (int r = 0; r < topLevelItemCount(); ++r) {
        QTreeWidgetItem* root = topLevelItem(r);
        const QTreeWidgetItem* top = item;
        while (top->parent()) top = top->parent();
        if (top != root) {
            index += root == title_ ? kMyArtistIndex : 1 + root->childCount();
            continue;
        }
        // Below the title the tree is small and fixed; elsewhere leaves only.
        if (root == title_ || item == root) {
            locate(root, item, index);
            return index;
        }
        return index + 1 + root->indexOfChild(const_cast<QTreeWidgetItem*>(item));
    }
    return -1;
}

QTreeWidgetItem* LibraryTree::itemAtIndex(int absoluteIndex) const {
    if (absoluteIndex < 0) return nullptr;
    for (int r = 0; r < topLevelItemCount(); ++r) {
        QTreeWidgetItem* root = topLevelItem(r);
        const int size = root == title_ ? kMyArtistIndex : 1 + root->childCount();
        if (absoluteIndex >= size) {
            absoluteIndex -= size;
            continue;
        }
        if (root == title_) return nth(root, absoluteIndex);
        return absoluteIndex == 0 ? root : root->child(absoluteIndex - 1);
    }
    return nullptr;
}

// A leaf gets its section's image before it joins the tree: changed
// afterwards, each of thousands of leaves would be a change signalled
// through the whole view.
QTreeWidgetItem* LibraryTree::newLeaf(const QTreeWidgetItem* root, const QString& text) const {
    const int image = root == myArtist_ ? 3 : root == myPlaylist_ ? 0 : 4;
    QTreeWidgetItem* item = newNode(text, image);
    if (image < images_.size()) item->setIcon(0, images_[image]);
    return item;
}

void LibraryTree::RefreshTreeImages() {
    std::function<void(QTreeWidgetItem*, int)> setAll = [&](QTreeWidgetItem* item, int image) {
        setImage(item, image, images_);
        for (int i = 0; i < item->childCount(); ++i) setAll(item->child(i), image);
    };
    setAll(title_, 1);
    setAll(myArtist_, 3);
    setAll(myHabit_, 2);
    setAll(myPlaylist_, 0);
    setAll(myAlbum_, 4);
}

int LibraryTree::imageOf(const QTreeWidgetItem* item) { return item ? item->data(0, kImageRole).toInt() : -1; }
