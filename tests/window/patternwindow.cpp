// A window of a known pattern at a known place, for the screen-capture check:
//   patternwindow X Y   four 80 x 40 blocks: magenta, cyan / orange, navy
#include <QGuiApplication>
#include <QPainter>
#include <QRasterWindow>

class Pattern : public QRasterWindow
{
protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.fillRect(0, 0, 80, 40, QColor(255, 0, 255));
        p.fillRect(80, 0, 80, 40, QColor(0, 255, 255));
        p.fillRect(0, 40, 80, 40, QColor(255, 128, 0));
        p.fillRect(80, 40, 80, 40, QColor(0, 0, 128));
    }
};

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    Pattern window;
    window.setFlag(Qt::FramelessWindowHint);
    window.setTitle(QStringLiteral("pattern"));
    window.setGeometry(app.arguments().value(1).toInt(), app.arguments().value(2).toInt(), 160, 80);
    window.show();
    return app.exec();
}
