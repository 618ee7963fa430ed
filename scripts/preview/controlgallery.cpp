// Shows every skinned control in the five built-in themes and in a theme
// file made here, each normal, hovered, held down and disabled, and a framed
// window in each, normal, hovered, held down, maximised and inactive; saves
// one picture per theme and kind for review:
//   controlgallery [output folder]          (default: build/screenshots)
//   controlgallery --frames [output folder] the framed windows only
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
#include "skin/form.h"
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

// The title pictures: 18 cells of 18 x 16 on a 24-pixel strip.
QImage amberTitle(int width) {
    QImage img(width, 24, QImage::Format_RGB32);
    QPainter p(&img);
    QLinearGradient g(0, 0, 0, 24);
    g.setColorAt(0, QColor(0xc8, 0x7a, 0x10));
    g.setColorAt(1, QColor(0x7a, 0x42, 0x00));
    p.fillRect(img.rect(), g);
    p.fillRect(0, 23, width, 1, QColor(0x4a, 0x28, 0x00));
    return img;
}

QImage amberButtons() {
    QImage img(18 * 18, 16, QImage::Format_RGB32);
    img.fill(QColor(0xff, 0x00, 0xff));
    QPainter p(&img);
    for (int cell = 0; cell < 18; ++cell) {
        const QRect r(cell * 18 + 1, 1, 15, 14);
        const int state = cell % 3;
        p.setPen(QColor(0x4a, 0x28, 0x00));
        p.setBrush(state == 0 ? QColor(0xf5, 0xa6, 0x23) : state == 1 ? QColor(0xff, 0xd8, 0x8a) : QColor(0xb0, 0x60, 0x00));
        p.drawRect(r.adjusted(0, 0, -1, -1));
        p.setPen(QPen(QColor(0x30, 0x18, 0x00), 2));
        const QPoint c = r.center();
        switch (cell / 3) {
        case 0: p.drawEllipse(c, 3, 3); break;
        case 1: p.drawText(r, Qt::AlignCenter, "?"); break;
        case 2: p.drawRect(c.x() - 4, c.y() - 3, 8, 7); break;
        case 3: p.drawRect(c.x() - 4, c.y() - 1, 6, 5); p.drawLine(c.x() - 1, c.y() - 4, c.x() + 4, c.y() - 4); break;
        case 4: p.drawLine(c.x() - 4, c.y() + 3, c.x() + 4, c.y() + 3); break;
        default: p.drawLine(c.x() - 3, c.y() - 3, c.x() + 3, c.y() + 3); p.drawLine(c.x() - 3, c.y() + 3, c.x() + 3, c.y() - 3);
        }
    }
    return img;
}

QByteArray amberTheme() {
    return ThemeFileBuilder()
        .image("TitleBarButtonImage", amberButtons())
        .image("TitleBarLeftImage", amberTitle(6))
        .image("TitleBarClientImage", amberTitle(8))
        .image("TitleBarRightImage", amberTitle(6))
        .boolean("TitleBarButtonTransparentBool", true)
        .integer("TitleBarButtonTopInt", 4)
        .integer("TitleBarButtonLeftOffsetInt", 2)
        .integer("TitleBarButtonRightOffsetInt", -2)
        .integer("FormBorderColor", 0x00284A)
        .integer("FormBorderWidthInt", 2)
        .integer("FormRoundCornerInt", 8)
        .integer("FormMinWidthInt", 200)
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

// The pictures side by side under their titles, "theme - state".
QImage sideBySide(const QString& title, const QList<QImage>& shots, const char* const* states) {
    const qreal dpr = shots[0].devicePixelRatio();
    const int gap = 16, head = 28;
    int width = gap, height = 0;
    for (const QImage& s : shots) {
        width += int(s.width() / dpr) + gap;
        height = std::max(height, int(s.height() / dpr));
    }
    QImage out(QSize(width, head + height + gap) * dpr, QImage::Format_ARGB32_Premultiplied);
    out.setDevicePixelRatio(dpr);
    out.fill(QColor(0x80, 0x88, 0x90));
    QPainter p(&out);
    p.setPen(Qt::white);
    QFont bold = p.font();
    bold.setBold(true);
    p.setFont(bold);
    int x = gap;
    for (int i = 0; i < shots.size(); ++i) {
        const int w = int(shots[i].width() / dpr);
        p.drawText(QRect(x, 4, w, head - 8), Qt::AlignLeft | Qt::AlignVCenter,
                   QStringLiteral("%1 - %2").arg(title, QLatin1String(states[i])));
        p.drawImage(QPoint(x, head), shots[i]);
        x += w + gap;
    }
    return out;
}

QImage gallery(const QString& title, TvsUIStyle style, TvsFileTheme* theme) {
    const QColor background = TvsThemeValues(theme, style).color(vskey::FormBackgroundColor, QColor(Qt::lightGray));
    QList<QImage> columns;
    for (State s : {Normal, Hover, Down, Disabled}) columns << column(style, theme, background, s);
    return sideBySide(title, columns, kStateNames);
}

// ---------------------------------------------------------- framed windows

enum FrameState { FrameNormal, FrameHover, FrameDown, FrameMaximised, FrameInactive };
const char* const kFrameStateNames[] = {"normal", "hover", "down", "maximised", "inactive"};

// A framed window in a state, with its rounded corners cut out as the
// window's shape cuts them on screen.
QImage framedWindow(TvsUIStyle style, TvsFileTheme* theme, FrameState state) {
    QWidget form;
    form.setWindowTitle(QStringLiteral("Tunevale - 歌曲库 - a framed window"));
    form.resize(360, 200);
    auto* frame = new TvsForm(&form);
    frame->setFileTheme(theme);
    frame->setUIStyle(style);
    auto* menu = new TvsMainMenu(&form);
    for (const char* m : {"File", "Edit", "Playlist", "Help"}) menu->addMenu(QString::fromLatin1(m))->addAction("Open");
    frame->SetMenu(menu);
    auto* progress = new TvsProgressBar(&form);
    progress->setPosition(62);
    auto* track = new TvsTrackBar(&form);
    track->setPosition(4);
    form.resize(360, 200);
    form.show();
    const QMargins m = form.contentsMargins();
    progress->setGeometry(m.left() + 12, m.top() + 16, 200, 12);
    track->setGeometry(m.left() + 12, m.top() + 40, 200, track->height());
    QApplication::processEvents();
    TvsTitleBar* bar = frame->titleBar();
    const auto layout = bar->layout(bar->width());
    const QPoint close = layout.buttons[1].center(), max = layout.buttons[2].center();
    if (state == FrameHover) QCursor::setPos(bar->mapToGlobal(close));
    else QCursor::setPos(form.mapToGlobal(QPoint(form.width() / 2, form.height() - 10)));
    if (state == FrameDown) {
        QCursor::setPos(bar->mapToGlobal(max));
        send(bar, QEvent::MouseButtonPress, max, Qt::LeftButton);
    }
    if (state == FrameMaximised) {
        form.setWindowState(Qt::WindowMaximized);
        bar->UpdateMaxButtons();
    }
    if (state == FrameInactive) bar->setFormActive(false);
    QApplication::processEvents();
    QImage shot = form.grab().toImage();
    if (state == FrameDown) send(bar, QEvent::MouseButtonRelease, QPoint(-50, -50), {});
    if (!form.mask().isEmpty()) {
        QPainter p(&shot);
        p.setClipRegion(QRegion(form.rect()) - form.mask());
        p.fillRect(form.rect(), QColor(0x80, 0x88, 0x90));
    }
    return shot;
}

QImage frameGallery(const QString& title, TvsUIStyle style, TvsFileTheme* theme) {
    QList<QImage> shots;
    for (FrameState s : {FrameNormal, FrameHover, FrameDown, FrameMaximised, FrameInactive})
        shots << framedWindow(style, theme, s);
    return sideBySide(title, shots, kFrameStateNames);
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
    const bool framesOnly = args.size() > 1 && args[1] == "--frames";
    const QStringList rest = args.mid(framesOnly ? 2 : 1);
    const QString outDir = !rest.isEmpty() ? rest[0] : QStringLiteral("build/screenshots");
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
    auto save = [&](const QImage& image, const QString& path) {
        if (image.save(path)) {
            QTextStream(stdout) << path << "\n";
        } else {
            QTextStream(stderr) << "cannot write " << path << "\n";
            ok = false;
        }
    };
    for (const auto& [name, style] : styles) {
        if (!framesOnly)
            save(gallery(QLatin1String(name), style, &theme),
                 QStringLiteral("%1/controls-%2.png").arg(outDir, QLatin1String(name)));
        save(frameGallery(QLatin1String(name), style, &theme),
             QStringLiteral("%1/frame-%2.png").arg(outDir, QLatin1String(name)));
    }
    return ok ? 0 : 1;
}
