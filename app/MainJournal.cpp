// The journal: what the window shows, kept on the disk while Sketrin runs, so
// that a start after a crash, a kill or a power cut can bring the drawing back.
#include "app/Main.h"
#include "forms/ScratchFolder.h"

#include "forms/App.h"
#include "journal/Journal.h"
#include "present/DrawingWindow.h"

#include <QDir>
#include <QEvent>
#include <QGuiApplication>
#include <QPointer>
#include <QTimer>

// Writes a few seconds after a change, never while the pen is down: the picture
// is copied here, between strokes, and encoded and written on the journal's own
// thread. Nothing changed, nothing runs.
class MainJournal : public QObject
{
public:
    static constexpr int DelayMs = 2000;

    MainJournal(Main &main, const QString &folder) : QObject(&main), m_main(main), m_journal(folder)
    {
        m_timer.setSingleShot(true);
        connect(&m_timer, &QTimer::timeout, this, &MainJournal::writeNow);
        main.installEventFilter(this);
    }

    bool open() { return m_journal.open(); }
    void offerLeftOvers();

    void changed()
    {
        watchDrawingMode();
        // At most one write per delay, however much changes meanwhile; one that
        // came due during a stroke is written as soon as the stroke has ended.
        if (m_journal.isOpen() && !m_timer.isActive())
            m_timer.start(m_due ? 0 : DelayMs);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool penDown() const;
    QImage shown() const;
    void writeNow();
    void watchDrawingMode();

    Main &m_main;
    journal::Journal m_journal;
    QTimer m_timer;
    QImage m_written;   // the drawing mode's picture last handed to the journal
    bool m_due = false; // the delay ran out while the pen was down
    QPointer<QWidget> m_watched;
};

void MainJournal::offerLeftOvers()
{
    for (const auto &leftOver : m_journal.leftOvers()) {
        const QImage picture = leftOver->read();
        if (picture.isNull()) {
            qWarning("sketrin: the journal %s could not be read; it was set aside as %s",
                     qUtf8Printable(QDir::toNativeSeparators(leftOver->path())),
                     qUtf8Printable(QDir::toNativeSeparators(leftOver->setAsidePath())));
            continue;
        }
        const int answer = m_main.m_platform.MsgBox(QStringLiteral("前回の描画が残っています。復元しますか?"),
                                                    forms::vbYesNo | forms::vbQuestion, forms::AppTitle());
        if (forms::terminationRequested())
            return; // ended while asking: the journal stays for the next start
        if (answer != forms::vbYes) {
            leftOver->discard();
            continue;
        }
        // As the drawing mode's screen comes back when it is left: one step to undo.
        m_main.loadPictureWithoutFile(picture, QDir::toNativeSeparators(leftOver->path()));
        // Until this run's first write it is this run's journal, so a second crash loses nothing.
        if (!m_journal.adopt(*leftOver))
            leftOver->discard();
    }
}

bool MainJournal::penDown() const
{
    if (m_main.drawingWindow())
        return m_main.drawingWindow()->drawing();
    return m_main.m_tools.drawing() == true;
}

QImage MainJournal::shown() const
{
    // The drawing mode's page as shown, without Document::shown(): that would
    // end a text being typed.
    if (m_main.drawingWindow())
        return m_main.drawingWindow()->showing();
    return m_main.m_surface.visibleImage();
}

void MainJournal::writeNow()
{
    m_due = penDown();
    if (m_due)
        return; // the pen coming up calls again
    // The main window is told of its steps, which change what it shows; in the
    // drawing mode a key or a click may have changed nothing, which the picture
    // itself then says.
    const bool mode = m_main.drawingWindow() != nullptr;
    const QImage image = shown();
    if (image.isNull() || (mode && image == m_written))
        return;
    m_written = mode ? image : QImage();
    m_journal.write(image);
}

void MainJournal::watchDrawingMode()
{
    QWidget *mode = m_main.drawingWindow();
    if (mode == m_watched)
        return;
    if (m_watched)
        m_watched->removeEventFilter(this);
    m_watched = mode;
    if (mode)
        mode->installEventFilter(this);
}

bool MainJournal::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == &m_main) {
        // The main window closes when the user ends Sketrin (the exit command, or
        // closing the window); at a logout the session closes it too, and then
        // the journal stays.
        if (event->type() == QEvent::Close && !qGuiApp->isSavingSession()) {
            m_timer.stop();
            m_journal.remove();
        }
        return false;
    }
    // The drawing mode changes its page on a button or pen coming up, a key,
    // and typed text.
    switch (event->type()) {
    case QEvent::MouseButtonRelease:
    case QEvent::TabletRelease:
    case QEvent::KeyPress:
    case QEvent::InputMethod:
        changed();
        break;
    default:
        break;
    }
    return false;
}

void Main::startJournal(const QString &folder)
{
    if (m_journal || journal::disabled())
        return;
    m_journal = new MainJournal(*this, folder);
    if (!m_journal->open()) {
        qWarning("sketrin: the drawing is not kept in a journal: %s cannot be written",
                 qUtf8Printable(QDir::toNativeSeparators(folder)));
        delete m_journal;
        m_journal = nullptr;
        return;
    }
    m_journal->offerLeftOvers();
}

void Main::journalChanged()
{
    if (m_journal)
        m_journal->changed();
}
