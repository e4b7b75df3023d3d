// The fastest ink a Qt Widgets program can have: each segment drawn into an
// image, and only its rectangle repainted from there.
//   qtink X Y W H   prints the window's id once it is on show
#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QWidget>
#include <cstdio>

class Ink : public QWidget
{
public:
    explicit Ink(QSize size) : m_image(size, QImage::Format_RGB32)
    {
        m_image.fill(Qt::white);
        setAttribute(Qt::WA_OpaquePaintEvent);
        setWindowTitle(QStringLiteral("qtink"));
        resize(size);
    }

protected:
    void mousePressEvent(QMouseEvent *event) override { m_last = event->position().toPoint(); }

    void mouseMoveEvent(QMouseEvent *event) override
    {
        const QPoint to = event->position().toPoint();
        QPainter p(&m_image);
        p.drawLine(m_last, to);
        update(QRect(m_last, to).normalized().adjusted(-1, -1, 1, 1));
        m_last = to;
    }

    void paintEvent(QPaintEvent *event) override
    {
        QPainter(this).drawImage(event->rect(), m_image, event->rect());
        if (!m_shown) {
            m_shown = true;
            std::printf("%llu\n", static_cast<unsigned long long>(winId()));
            std::fflush(stdout);
        }
    }

private:
    QImage m_image;
    QPoint m_last;
    bool m_shown = false;
};

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 5)
        return 1;
    Ink ink(QSize(args[3].toInt(), args[4].toInt()));
    ink.move(args[1].toInt(), args[2].toInt());
    ink.show();
    return app.exec();
}
