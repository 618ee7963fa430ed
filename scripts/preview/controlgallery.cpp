// Shows every skinned control in the five built-in themes and in a theme
// file made here, each normal, hovered, held down and disabled, and saves
// one picture per theme for review:
//   controlgallery [output folder]          (default: build/screenshots)
//   controlgallery --write-theme FILE       writes the sample theme file only

#include <QAbstractItemView>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTextStream>

#include "skin/combobox.h"
#include "skin/imagepanel.h"
#include "skin/menu.h"
#include "skin/progressbar.h"
#include "skin/trackbar.h"
#include "themefilebuilder.h"

namespace {

enum State { Normal, Hover, Down, Disabled };
const char* const kStateNames[] = {"normal", "hover", "down", "disabled"};

// ------------------------------------------------------------ the theme file

QImage amberProgress() {
    QImage img(8, 10, QImage::Format_RGB32);
    QPainter p(&img);
    QLinearGradient g(0, 0, 0, 10);
    g.setColorAt(0, QColor(0xff, 0xd8, 0x8a));
    g.setColorAt(0.5, QColor(0xf5, 0xa6, 0x23));
    g.setColorAt(1, QColor(0xd9, 0x7c, 0x00));
    p.fillRect(img.rect(), g);
    return img;
}

QImage amberBar() {
    QImage img(30, 5, QImage::Format_RGB32);
    img.fill(QColor(0xff, 0x00, 0xff));
    QPainter p(&img);
    p.fillRect(1, 0, 28, 5, QColor(0x8a, 0x5a, 0x1e));
    p.fillRect(0, 1, 30, 3, QColor(0x8a, 0x5a, 0x1e));
    p.fillRect(1, 1, 28, 3, QColor(0xf3, 0xe3, 0xc8));
    return img;
}

QImage amberThumb(bool standing) {
    QImage img(standing ? 18 : 11, standing ? 11 : 18, QImage::Format_RGB32);
    img.fill(QColor(0xf6, 0xef, 0xe2));
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QColor(0x8a, 0x5a, 0x1e));
    QLinearGradient g(0, 0, standing ? 18 : 0, standing ? 0 : 18);
    g.setColorAt(0, QColor(0xff, 0xd8, 0x8a));
    g.setColorAt(1, QColor(0xe0, 0x8a, 0x10));
    p.setBrush(g);
    p.drawRoundedRect(QRectF(0.5, 0.5, img.width() - 1, img.height() - 1), 4, 4);
    return img;
}

QByteArray amberTheme() {
    return ThemeFileBuilder()
        .image("ProgressBarImage", amberProgress())
        .image("TrackBarBarImage", amberBar())
        .image("TrackBarSliderImage", amberThumb(false))
        .image("TrackBarSliderVImage", amberThumb(true))
        .integer("ControlBorderColor", 0x1E5A8A)
        .integer("ControlBackgroundColor", 0xE2EFF6)
        .integer("FormBackgroundColor", 0xE2EFF6)
        .integer("MenuBarColor", 0xB0D8F0)
        .integer("MenuBackgroundColor", 0xF4FAFD)
        .integer("MenuFontColor", 0x1E3A5A)
        .integer("MenuSelectedBorderColor", 0x1E5A8A)
        .integer("MenuSelectedBackgroundColor", 0x23A6F5)
        .integer("MenuSelectedFontColor", 0x000000)
        .text("Author", "Tunevale gallery")
        .build();
}

// ---------------------------------------------------------------- the panel

struct Panel {
    QWidget window;
    TvsProgressBar *progress, *full;
    TvsTrackBar *track, *standing;
    TvsComboBox* combo;
    TvsImagePanel* image;
    TvsMainMenu* menuBar;
    TvsPopupMenu* menu;
    QAction* hot;

    Panel(TvsUIStyle style, TvsFileTheme* theme, const QColor& background) {
        window.setAutoFillBackground(true);
        QPalette pal = window.palette();
        pal.setColor(QPalette::Window, background);
        window.setPalette(pal);
        window.resize(300, 205);

        menuBar = new TvsMainMenu(&window);
        for (const char* m : {"File", "Edit", "Playlist", "Help"}) menuBar->addMenu(QString::fromLatin1(m))->addAction("Open");
        menuBar->setGeometry(0, 0, 300, menuBar->height());

        progress = new TvsProgressBar(&window);
        progress->setGeometry(10, 34, 200, 12);
        progress->setPosition(37);
        full = new TvsProgressBar(&window);
        full->setGeometry(10, 54, 200, 12);
        full->setPosition(150);
        track = new TvsTrackBar(&window);
        track->move(10, 76);
        track->resize(200, track->height());
        track->setPosition(6);
        standing = new TvsTrackBar(&window);
        standing->setOrientation(TvsTrackBar::vsVertical);
        standing->move(250, 34);
        standing->resize(standing->width(), 150);
        standing->setMax(20);
        standing->setFrequency(5);
        standing->setPosition(14);
        combo = new TvsComboBox(&window);
        combo->addItems({"Rock", "Jazz", "Folk", "Electronic", "Classical"});
        combo->setGeometry(10, 108, 160, 21);
        image = new TvsImagePanel(&window);
        image->setGeometry(10, 142, 200, 40);
        image->setDrawStyle(TvsImagePanel::vsTile);
        image->setCaption("Image panel");

        menu = new TvsPopupMenu(&window);
        menu->addAction("Add File\tCtrl+O");
        hot = menu->addAction("Delete File Record");
        menu->addSeparator();
        QAction* random = menu->addAction("Random Play");
        random->setCheckable(true);
        random->setChecked(true);
        QPixmap note(16, 16);
        note.fill(Qt::transparent);
        {
            QPainter p(&note);
            p.setRenderHint(QPainter::Antialiasing);
            p.setBrush(QColor(0xf0, 0x90, 0x20));
            p.setPen(Qt::NoPen);
            p.drawEllipse(QRectF(2, 9, 6, 5));
            p.drawRect(QRectF(6.5, 2, 1.5, 10));
            p.drawRect(QRectF(6.5, 2, 6, 2));
        }
        QAction* loop = menu->addAction(QIcon(note), "Loop Playlist");
        loop->setCheckable(true);
        loop->setChecked(true);
        menu->addMenu("Skin")->addAction("Skin1");
        menu->addAction("Rescan")->setEnabled(false);

        for (TvsThemeable* c : std::initializer_list<TvsThemeable*>{progress, full, track, standing, combo, menu, menuBar}) {
            c->setFileTheme(theme);
            c->setUIStyle(style);
        }
        image->setPicture(TvsThemeValues(theme, style).image(vskey::ProgressBarImage));
    }
};

void send(QWidget* w, QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
    QMouseEvent e(type, at, w->mapToGlobal(at), type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons, {});
    QApplication::sendEvent(w, &e);
    QApplication::processEvents();
}

// One column: the panel in a state, and under it its popup menu.
QImage column(TvsUIStyle style, TvsFileTheme* theme, const QColor& background, State state) {
    Panel panel(style, theme, background);
    panel.window.show();
    QApplication::processEvents();
    const QPoint fileItem(12, panel.menuBar->height() / 2);
    QImage listImage;
    QPoint listAt;
    if (state == Hover) {
        send(panel.menuBar, QEvent::MouseMove, fileItem, {});
        panel.menu->setActiveAction(panel.hot);
    } else if (state == Down) {
        send(panel.track, QEvent::MouseButtonPress, panel.track->thumbRect().center(), Qt::LeftButton);
        panel.combo->setFocus();
        panel.combo->showPopup();
        QApplication::processEvents();
        QWidget* list = panel.combo->view()->parentWidget();
        listImage = list->grab().toImage();
        listAt = panel.combo->geometry().bottomLeft() + QPoint(0, 1);
        panel.combo->hidePopup();
        panel.menu->setActiveAction(panel.hot);
    } else if (state == Disabled) {
        panel.window.setEnabled(false);
        for (QAction* a : panel.menu->actions()) a->setEnabled(false);
        panel.menu->setActiveAction(panel.hot);
    }
    QImage shot = panel.window.grab().toImage();
    if (!listImage.isNull()) {
        QPainter p(&shot);
        p.drawImage(listAt, listImage);
    }
    if (state == Down) {
        // The menu bar's item held down opens its menu.
        send(panel.menuBar, QEvent::MouseButtonPress, fileItem, Qt::LeftButton);
        QPainter p(&shot);
        p.drawImage(0, 0, panel.menuBar->grab().toImage());
        for (QAction* a : panel.menuBar->actions())
            if (a->menu()) a->menu()->hide();
    }
    panel.menu->popup(QPoint(0, 0));
    QApplication::processEvents();
    if (state != Normal) panel.menu->setActiveAction(panel.hot);
    QApplication::processEvents();
    const QImage menuShot = panel.menu->grab().toImage();
    panel.menu->hide();

    QImage out(shot.width(), shot.height() + 10 + menuShot.height(), QImage::Format_ARGB32_Premultiplied);
    out.fill(QColor(0x80, 0x88, 0x90));
    QPainter p(&out);
    p.drawImage(0, 0, shot);
    p.drawImage(10, shot.height() + 10, menuShot);
    return out;
}

QImage gallery(const QString& title, TvsUIStyle style, TvsFileTheme* theme) {
    const QColor background = TvsThemeValues(theme, style).color(vskey::FormBackgroundColor, QColor(Qt::lightGray));
    QList<QImage> columns;
    for (State s : {Normal, Hover, Down, Disabled}) columns << column(style, theme, background, s);
    const int gap = 16, head = 28;
    int height = 0;
    for (const QImage& c : columns) height = std::max(height, c.height());
    QImage out(gap + columns.size() * (columns[0].width() + gap), head + height + gap, QImage::Format_ARGB32_Premultiplied);
    out.fill(QColor(0x80, 0x88, 0x90));
    QPainter p(&out);
    p.setPen(Qt::white);
    QFont bold = p.font();
    bold.setBold(true);
    p.setFont(bold);
    for (int i = 0; i < columns.size(); ++i) {
        const int x = gap + i * (columns[0].width() + gap);
        p.drawText(QRect(x, 4, columns[0].width(), head - 8), Qt::AlignLeft | Qt::AlignVCenter,
                   QStringLiteral("%1 - %2").arg(title, QLatin1String(kStateNames[i])));
        p.drawImage(x, head, columns[i]);
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 3 && args[1] == "--write-theme") {
        QFile f(args[2]);
        if (!f.open(QIODevice::WriteOnly) || f.write(amberTheme()) < 0) return 1;
        return 0;
    }
    const QString outDir = args.size() > 1 ? args[1] : QStringLiteral("build/screenshots");
    QDir().mkpath(outDir);
    const QString themePath = outDir + "/amber.theme";
    QFile f(themePath);
    if (!f.open(QIODevice::WriteOnly) || f.write(amberTheme()) < 0) return 1;
    f.close();
    TvsFileTheme theme;
    theme.SetThemeFile(themePath);
    if (!theme.CanUse()) {
        QTextStream(stderr) << "the sample theme file does not load\n";
        return 1;
    }
    const std::pair<const char*, TvsUIStyle> styles[] = {
        {"graphite", TvsUIStyle::Graphite}, {"meadow", TvsUIStyle::Meadow},       {"deepblue", TvsUIStyle::DeepBlue},
        {"protein", TvsUIStyle::Protein},   {"blueglass", TvsUIStyle::BlueGlass}, {"themefile", TvsUIStyle::FromThemeFile},
    };
    bool ok = true;
    for (const auto& [name, style] : styles) {
        const QString path = QStringLiteral("%1/controls-%2.png").arg(outDir, QLatin1String(name));
        if (gallery(QLatin1String(name), style, &theme).save(path)) {
            QTextStream(stdout) << path << "\n";
        } else {
            QTextStream(stderr) << "cannot write " << path << "\n";
            ok = false;
        }
    }
    return ok ? 0 : 1;
}
