// Dresses stand-ins for the skinned windows in both skins and saves what they
// look like, so that a skin can be reviewed without the program around it:
//   skinpreview [output folder]      (default: build/screenshots)
// The skins are read from the asset folder beside this executable.

#include "components/skin/skinengine.h"
#include "components/skin/skinlabel.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QEnterEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QTextStream>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

const QString kSampleTitle = QStringLiteral("Harbour Lights - Evening Tide.mp3");

struct Track {
    const char *title, *artist, *album, *genre, *year, *time;
};
const Track kTracks[] = {
    {"Evening Tide", "Harbour Lights", "Saltwater Roads", "Pop", "2019", "3:25"},
    {"Copper Skies", "Harbour Lights", "Saltwater Roads", "Pop", "2019", "4:02"},
    {"Paper Lanterns", "Mira Holt", "Quiet Rooms", "Folk", "2021", "3:48"},
    {"Northbound", "The Fieldnotes", "Atlas", "Rock", "2017", "5:11"},
    {"Glass Harbour", "Mira Holt", "Quiet Rooms", "Folk", "2021", "2:57"},
    {"Lowlands", "Ada Fenwick Trio", "Blue Hours", "Jazz", "2015", "6:34"},
    {"Signal Fires", "The Fieldnotes", "Atlas", "Rock", "2017", "4:19"},
    {"Slow Orbit", "Kestrel", "Night Shift", "Electronic", "2022", "3:33"},
    {"Winter Market", "Ada Fenwick Trio", "Blue Hours", "Jazz", "2015", "5:02"},
    {"Long Way Home", "Harbour Lights", "Saltwater Roads", "Pop", "2019", "3:41"},
};

QImage grabShaped(QWidget* w) {
    QCoreApplication::processEvents();
    const QPixmap pix = w->grab();
    QImage out(pix.size(), QImage::Format_ARGB32_Premultiplied);
    out.fill(Qt::transparent);
    QPainter p(&out);
    if (!w->mask().isEmpty()) p.setClipRegion(w->mask());
    p.drawPixmap(0, 0, pix);
    return out;
}

bool save(const QImage& img, const QString& path) {
    if (!img.save(path)) {
        QTextStream(stderr) << "cannot write " << path << "\n";
        return false;
    }
    QTextStream(stdout) << path << "\n";
    return true;
}

// Stand-in for the main window: menu, header band, tree and list, footer band.
QWidget* makeMain(int skinNumber) {
    auto* w = new QWidget;
    w->setWindowTitle("Tunevale");
    auto* col = new QVBoxLayout(w);
    col->setContentsMargins(0, 0, 0, 0);
    col->setSpacing(0);
    auto* menu = new QMenuBar(w);
    for (const char* m : {"File", "Action", "Playlist", "Option", "Help"}) menu->addMenu(m);
    col->setMenuBar(menu);
    auto* header = new QWidget(w);
    header->setObjectName("Image");
    header->setFixedHeight(skinNumber == 2 ? 53 : 52);
    col->addWidget(header);

    auto* split = new QSplitter(w);
    auto* tree = new QTreeWidget(split);
    tree->setHeaderHidden(true);
    for (const char* root : {"All Title", "My Artist", "My Album", "My Habit", "My Playlist"}) {
        auto* item = new QTreeWidgetItem(tree, {root});
        if (QString(root) == "My Artist")
            for (const char* a : {"Ada Fenwick Trio", "Harbour Lights", "Kestrel", "Mira Holt", "The Fieldnotes"})
                new QTreeWidgetItem(item, {a});
        if (QString(root) == "My Playlist") new QTreeWidgetItem(item, {"Road Trip"});
    }
    tree->expandAll();
    auto* list = new QTreeWidget(split);
    list->setRootIsDecorated(false);
    list->setAlternatingRowColors(true);
    list->setHeaderLabels({"Title", "Artist", "Album", "Genre", "Year", "Time"});
    for (const Track& t : kTracks) new QTreeWidgetItem(list, {t.title, t.artist, t.album, t.genre, t.year, t.time});
    list->setCurrentItem(list->topLevelItem(0));
    list->header()->resizeSection(0, 150);
    split->setSizes({170, 600});
    col->addWidget(split, 1);

    auto* footer = new QWidget(w);
    footer->setObjectName("Image2");
    footer->setFixedHeight(78);
    footer->setVisible(skinNumber != 2);
    col->addWidget(footer);
    w->resize(900, 560);
    return w;
}

QWidget* makePlaylist() {
    auto* w = new QWidget;
    w->setWindowTitle("Playlist");
    auto* lv = new QTreeWidget(w);
    lv->setObjectName("lv");
    lv->setHeaderHidden(true);
    lv->setRootIsDecorated(false);
    lv->setColumnCount(2);
    lv->setColumnWidth(0, 169);
    for (const Track& t : kTracks) new QTreeWidgetItem(lv, {QString(t.title) + ".mp3", t.time});
    lv->setCurrentItem(lv->topLevelItem(2));
    w->resize(253, 321);
    return w;
}

QWidget* makeToolWindow() {
    auto* w = new QWidget;
    w->setWindowTitle("Recorder");
    auto* form = new QFormLayout(w);
    form->addRow(new SkinLabel("Output folder:"), new QLineEdit(QDir::homePath() + "/Music"));
    auto* box = new QGroupBox("Format");
    auto* row = new QHBoxLayout(box);
    for (const char* f : {"MP3", "WAV", "OGG", "WMA"}) row->addWidget(new QCheckBox(f));
    form->addRow(box);
    auto* bar = new QProgressBar;
    bar->setValue(42);
    form->addRow(new SkinLabel("Progress:"), bar);
    auto* buttons = new QHBoxLayout;
    for (const char* b : {"Start", "Pause", "Stop"}) buttons->addWidget(new QPushButton(b));
    form->addRow(buttons);
    w->resize(380, 200);
    return w;
}

template <typename T>
T* find(SkinEngine& engine, QWidget* w, const char* name) {
    SkinObject* o = engine.findSkinObject(w, name);
    return o ? o->as<T>() : nullptr;
}

// Normal, hovered and pressed looks of a few elements, side by side.
QImage states(SkinEngine& engine, QWidget* main, QWidget* playlist) {
    const QList<QPair<QWidget*, const char*>> picks = {
        {main, "Boxplay"}, {main, "Boxstop"}, {main, "ripper"}, {playlist, "Listrandom"}, {playlist, "Listopen"}};
    QList<QImage> rows;
    for (const auto& [window, name] : picks) {
        SkinObject* o = engine.findSkinObject(window, name);
        if (!o) continue;
        QWidget* v = o->widget();
        const QPointF c = QRectF(v->rect()).center();
        QList<QImage> looks;
        looks << v->grab().toImage();
        QEnterEvent enter(c, v->mapToGlobal(c), v->mapToGlobal(c));
        QCoreApplication::sendEvent(v, &enter);
        looks << v->grab().toImage();
        QMouseEvent press(QEvent::MouseButtonPress, c, v->mapToGlobal(c), Qt::LeftButton, Qt::LeftButton, {});
        QCoreApplication::sendEvent(v, &press);
        looks << v->grab().toImage();
        QMouseEvent release(QEvent::MouseButtonRelease, c, v->mapToGlobal(c), Qt::LeftButton, {}, {});
        QCoreApplication::sendEvent(v, &release);
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(v, &leave);
        looks << v->grab().toImage();
        QImage row(looks[0].width() * 4 + 30, looks[0].height(), QImage::Format_ARGB32_Premultiplied);
        row.fill(window->palette().color(QPalette::Window));
        QPainter p(&row);
        for (int i = 0; i < looks.size(); ++i) p.drawImage(i * (looks[0].width() + 10), 0, looks[i]);
        rows << row;
    }
    int width = 0, height = 0;
    for (const QImage& r : rows) {
        width = std::max(width, r.width());
        height += r.height() + 8;
    }
    QImage out((width + 16) * 3, (height + 8) * 3, QImage::Format_ARGB32_Premultiplied);
    out.fill(QColor("#808890"));
    QPainter p(&out);
    p.scale(3, 3);
    int y = 8;
    for (const QImage& r : rows) {
        p.drawImage(8, y, r);
        y += r.height() + 8;
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QString outDir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("build/screenshots");
    QDir().mkpath(outDir);
    const QString skinDir = QCoreApplication::applicationDirPath() + "/skins";
    bool ok = true;

    for (int n : {1, 2}) {
        SkinEngine engine;
        QObject::connect(&engine, &SkinEngine::skinError, [&](const QString& m) {
            QTextStream(stderr) << m << "\n";
            ok = false;
        });
        if (!engine.loadSkin(QStringLiteral("%1/skin%2.skn").arg(skinDir).arg(n))) continue;
        const QString prefix = QStringLiteral("%1/skin%2-").arg(outDir).arg(n);

        QWidget* main = makeMain(n);
        engine.setMainWindow(main);
        engine.resetWindow(main);
        engine.applySkinSection(main, "Tunevale");
        main->show();
        if (auto* t = find<SkinText>(engine, main, "filename")) t->setText(kSampleTitle);
        if (auto* t = find<SkinText>(engine, main, "time")) t->setText("00:03:25");
        if (auto* b = find<SkinScrollBar>(engine, main, "mediabar")) b->setPosition(380);
        if (auto* b = find<SkinScrollBar>(engine, main, "soundbar")) b->setPosition(52000);
        ok &= save(grabShaped(main), prefix + "main.png");

        auto* mini = new QWidget;
        mini->resize(373, 55);
        engine.applySkinSection(mini, "minTunevale");
        mini->show();
        if (auto* t = find<SkinText>(engine, mini, "mfilename")) t->setText(kSampleTitle);
        ok &= save(grabShaped(mini), prefix + "mini.png");

        QWidget* playlist = makePlaylist();
        engine.resetWindow(playlist);
        engine.applySkinSection(playlist, "Playlist");
        playlist->show();
        if (auto* b = find<SkinScrollBar>(engine, playlist, "Listmediabar")) b->setPosition(300);
        if (SkinObject* b = engine.findSkinObject(playlist, "button2")) b->setButtonUp(false);
        if (auto* t = find<SkinToggle>(engine, playlist, "Listrandom")) t->setState(true);
        ok &= save(grabShaped(playlist), prefix + "playlist.png");

        QImage look = states(engine, main, playlist);
        ok &= save(look, prefix + "states.png");

        playlist->findChild<QWidget*>("lv")->hide();
        engine.resetWindow(playlist);
        engine.applySkinSection(playlist, "minPlaylist");
        if (SkinObject* b = engine.findSkinObject(playlist, "Minbutton2")) b->setButtonUp(false);
        ok &= save(grabShaped(playlist), prefix + "minplaylist.png");

        QWidget* tool = makeToolWindow();
        engine.resetWindow(tool);
        engine.applySkinSection(tool, "windows");
        tool->show();
        ok &= save(grabShaped(tool), prefix + "tool.png");

        delete tool;
        delete playlist;
        delete mini;
        delete main;
    }
    return ok ? 0 : 1;
}
