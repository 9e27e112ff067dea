// Grabs a part of the screen of the display (DISPLAY) into a PNG file, for
// the pictures of the tray icon in docs/ (scripts/tray-screenshots):
//   screen_grab OUT.png X Y WIDTH HEIGHT
// X and Y may be negative: counted from the right and bottom edges.
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    if (argc != 6) {
        std::fprintf(stderr, "usage: %s OUT.png X Y WIDTH HEIGHT\n", argv[0]);
        return 2;
    }
    QGuiApplication app(argc, argv);
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) {
        std::fprintf(stderr, "screen_grab: no screen\n");
        return 1;
    }
    const QSize size = screen->size();
    const int w = std::atoi(argv[4]), h = std::atoi(argv[5]);
    int x = std::atoi(argv[2]), y = std::atoi(argv[3]);
    if (x < 0) x += size.width() - w + 1;
    if (y < 0) y += size.height() - h + 1;
    const QPixmap shot = screen->grabWindow(0, x, y, w, h);
    if (shot.isNull() || !shot.save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        std::fprintf(stderr, "screen_grab: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
