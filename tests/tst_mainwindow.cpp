#include "app/Main.h"
#include "forms/ScriptedPlatform.h"

#include <QtTest>

class TestMainWindow : public QObject
{
    Q_OBJECT
private slots:
    void smoke()
    {
        forms::ScriptedPlatform platform;
        Main w(platform);
        QCOMPARE(w.windowTitle(), QStringLiteral("Sketrin Ver2.0"));
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
