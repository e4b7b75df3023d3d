// A window of a known pattern at a known place, for the screen-capture check:
//   patternwindow X Y          four 80 x 40 blocks: magenta, cyan / orange, navy
//   patternwindow X Y --live   the same, its colours swapping every 250 ms (a
//                              program that goes on showing new things), and
//                              each click it gets printed as "click X Y"
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QRasterWindow>
#include <QTimer>
#include <cstdio>

class Pattern : public QRasterWindow
{
public:
    bool swapped = false;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        const QColor a(255, 0, 255), b(0, 255, 255);
        p.fillRect(0, 0, 80, 40, swapped ? b : a);
        p.fillRect(80, 0, 80, 40, swapped ? a : b);
        p.fillRect(0, 40, 80, 40, QColor(255, 128, 0));
        p.fillRect(80, 40, 80, 40, QColor(0, 0, 128));
    }
    void mousePressEvent(QMouseEvent *event) override
    {
        std::printf("click %d %d\n", int(event->position().x()), int(event->position().y()));
        std::fflush(stdout);
    }
    // Two quick clicks are still two.
    void mouseDoubleClickEvent(QMouseEvent *event) override { mousePressEvent(event); }
};

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    Pattern window;
    window.setFlag(Qt::FramelessWindowHint);
    window.setTitle(QStringLiteral("pattern"));
    window.setGeometry(app.arguments().value(1).toInt(), app.arguments().value(2).toInt(), 160, 80);
    QTimer blink;
    if (app.arguments().contains(QStringLiteral("--live"))) {
        QObject::connect(&blink, &QTimer::timeout, &window, [&window] {
            window.swapped = !window.swapped;
            window.update();
        });
        blink.start(250);
    }
    window.show();
    return app.exec();
}
