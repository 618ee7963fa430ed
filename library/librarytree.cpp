#include "library/librarytree.h"

#include <functional>
#include <vector>

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
    connect(this, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) { built(item); });
}

LibraryTree::PendingLeaves* LibraryTree::pendingOf(const QTreeWidgetItem* root) const {
    if (root == myArtist_) return &pendingArtists_;
    if (root == myPlaylist_) return &pendingPlaylists_;
    if (root == myAlbum_) return &pendingAlbums_;
    return nullptr;
}

int LibraryTree::leafCount(const QTreeWidgetItem* root) const {
    const PendingLeaves* pending = pendingOf(root);
    return root->childCount() + (pending ? static_cast<int>(pending->size()) : 0);
}

QTreeWidgetItem* LibraryTree::built(QTreeWidgetItem* root) const {
    PendingLeaves* pending = pendingOf(root);
    if (!pending || pending->empty()) return root;
    auto* self = const_cast<LibraryTree*>(this);
    QHash<QString, QTreeWidgetItem*>& index = *self->indexOf(root);
    QList<QTreeWidgetItem*> items;
    items.reserve(static_cast<qsizetype>(pending->size()));
    index.reserve(static_cast<qsizetype>(pending->size()));
    for (std::size_t i = 0; i < pending->size(); ++i) {
        const std::string_view leaf = pending->text(i);
        const QString text = QString::fromUtf8(leaf.data(), static_cast<qsizetype>(leaf.size()));
        QTreeWidgetItem* item = newLeaf(root, text);
        items.append(item);
        // A text listed twice keeps both nodes; lookups find the first.
        if (!index.contains(text)) index.insert(text, item);
    }
    pending->clear();
    root->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
    root->addChildren(items);
    return root;
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
    pendingOf(root)->clear();
    root->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
}

bool LibraryTree::leavesUnmade() const {
    return myArtist_->childCount() == 0 && myPlaylist_->childCount() == 0 && myAlbum_->childCount() == 0;
}

void LibraryTree::setContent(LibraryTreeContent&& content) {
    const std::pair<QTreeWidgetItem*, std::vector<std::string>*> roots[] = {
        {myArtist_, &content.artists}, {myPlaylist_, &content.playlists}, {myAlbum_, &content.albums}};
    for (const auto& [root, leaves] : roots) {
        clearLeaves(root, *indexOf(root));
        if (leaves->empty()) continue;
        pendingOf(root)->texts = std::move(*leaves);
        // The view offers to expand the root before its leaves exist.
        root->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
        if (root->isExpanded()) built(root);
    }
}

void LibraryTree::setLeaves(TreeTextLeaves&& leaves) {
    const std::pair<QTreeWidgetItem*, std::vector<TreeTextLeaves::Span>*> roots[] = {
        {myArtist_, &leaves.artists}, {myPlaylist_, &leaves.playlists}, {myAlbum_, &leaves.albums}};
    for (const auto& [root, spans] : roots) {
        clearLeaves(root, *indexOf(root));
        if (spans->empty()) continue;
        PendingLeaves& pending = *pendingOf(root);
        pending.bytes = leaves.bytes;
        pending.spans = std::move(*spans);
        root->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
        if (root->isExpanded()) built(root);
    }
}

LibraryTreeContent LibraryTree::content() const {
    LibraryTreeContent content;
    const std::pair<QTreeWidgetItem*, std::vector<std::string>*> roots[] = {
        {myArtist_, &content.artists}, {myPlaylist_, &content.playlists}, {myAlbum_, &content.albums}};
    for (const auto& [root, leaves] : roots) {
        if (const PendingLeaves* pending = pendingOf(root); !pending->empty()) {
            leaves->reserve(pending->size());
            for (std::size_t i = 0; i < pending->size(); ++i) leaves->emplace_back(pending->text(i));
            continue;
        }
        leaves->reserve(static_cast<std::size_t>(root->childCount()));
        for (int i = 0; i < root->childCount(); ++i) leaves->push_back(root->child(i)->text(0).toStdString());
    }
    return content;
}

QTreeWidgetItem* LibraryTree::ensure(QTreeWidgetItem* root, QHash<QString, QTreeWidgetItem*>& index,
                                     const QString& text) {
    built(root);
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

int LibraryTree::pruneLeaves(QTreeWidgetItem* root, const std::function<bool(const QString&)>& named) {
    QHash<QString, QTreeWidgetItem*>* index = indexOf(root);
    if (!index) return 0;
    built(root);
    std::vector<char> keep(static_cast<std::size_t>(root->childCount()));
    int removed = 0;
    for (int i = 0; i < root->childCount(); ++i) {
        keep[static_cast<std::size_t>(i)] = named(root->child(i)->text(0));
        removed += keep[static_cast<std::size_t>(i)] ? 0 : 1;
    }
    if (removed == 0) return 0;
    // Taken out and put back as one batch: deleting children one at a time
    // moves every later child and tells the view each time.
    QTreeWidgetItem* current = currentItem();
    const QList<QTreeWidgetItem*> children = root->takeChildren();
    QList<QTreeWidgetItem*> kept;
    kept.reserve(children.size() - removed);
    index->clear();
    for (qsizetype i = 0; i < children.size(); ++i) {
        QTreeWidgetItem* child = children[i];
        if (!keep[static_cast<std::size_t>(i)]) {
            if (child == current) current = nullptr;
            delete child;
            continue;
        }
        kept.append(child);
        if (!index->contains(child->text(0))) index->insert(child->text(0), child);
    }
    root->addChildren(kept);
    if (current && current->parent() == root) setCurrentItem(current);
    return removed;
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
            index += root == title_ ? kMyArtistIndex : 1 + leafCount(root);
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
        const int size = root == title_ ? kMyArtistIndex : 1 + leafCount(root);
        if (absoluteIndex >= size) {
            absoluteIndex -= size;
            continue;
        }
        if (root == title_) return nth(root, absoluteIndex);
        return absoluteIndex == 0 ? root : built(root)->child(absoluteIndex - 1);
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
