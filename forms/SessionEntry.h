#pragma once

#include <QObject>

namespace forms {

// The running program's door on the session bus, one per user session:
// `sketrin --draw` knocks, and the program that owns the name enters the
// drawing mode.
class SessionEntry : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "test.velmorasw.Sketrin")

public:
    static const char *const Service;
    static const char *const Path;

    explicit SessionEntry(QObject *parent = nullptr);
    ~SessionEntry() override;

    // Takes the name. False when there is no bus or another program has it.
    bool open();
    bool isOpen() const { return m_open; }

    // Asks the program that holds the name to enter the drawing mode; false when
    // none answers.
    static bool askToDraw(int timeoutMs = 5000);

public slots:
    // Called over the bus.
    void Draw();

signals:
    void drawRequested();

private:
    bool m_open = false;
};

} // namespace forms
