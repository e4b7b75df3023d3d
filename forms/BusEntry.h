#pragma once

#include <QObject>

#include <functional>
#include <vector>

namespace forms {

// The running program's door on the session bus, one per user session:
// `sketrin --draw` (or `--live`) knocks, and the program that owns the name
// enters the drawing mode, or leaves it. The knock is answered at once; the program acts
// on it afterwards, so that no waiting on the screen or a dialog can make the
// caller think nobody is there.
class BusEntry : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "test.velmorasw.Sketrin")

public:
    static const char *const Service;
    static const char *const Path;

    explicit BusEntry(QObject *parent = nullptr);
    ~BusEntry() override;

    // Takes the name, before the program's windows are up: of two programs
    // started at once, the second finds the first. False when there is no bus or
    // another program has it. Calls wait until listen().
    bool open();
    // From now on the calls come as drawRequested, those that waited first.
    void listen();

    // Whether a program holds the name.
    static bool running();
    // Asks the program that holds the name to draw (with `file`, an absolute
    // path, loaded first when given); false when no program holds it. A program
    // that holds it but is slow to answer still counts: there is one Sketrin.
    static bool askToDraw(const QString &file = QString(), int timeoutMs = 5000);
    // The same for the live drawing mode.
    static bool askToDrawLive(int timeoutMs = 5000);

public slots:
    // Called over the bus.
    void Draw();
    void DrawWith(const QString &file);
    void DrawLive();

signals:
    // `file` is empty for a plain `--draw`.
    void drawRequested(const QString &file);
    void liveRequested();

private:
    void deliver(const std::function<void()> &request);

    bool m_open = false;
    bool m_listening = false;
    std::vector<std::function<void()>> m_waiting; // calls that came while the program was starting
};

} // namespace forms
