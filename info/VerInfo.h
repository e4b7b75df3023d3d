#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace forms {
class Platform;
}

// The version window: name, version, a note, the copyright line and a link to the
// home page. Made afresh at every showing.
class VerInfo : public QDialog
{
    Q_OBJECT

public:
    explicit VerInfo(forms::Platform &platform, QWidget *parent = nullptr);

    QPushButton *CloseWin = nullptr;
    QLabel *Versions = nullptr;
    QLabel *URL = nullptr;
    QLabel *Copyright = nullptr;
    QLabel *Note = nullptr;
    QLabel *SoftIcon = nullptr;
    QLabel *Image1 = nullptr;
    QLabel *BackGround = nullptr;
    QWidget *Line1 = nullptr;
    QWidget *Line2 = nullptr;

    // The note as the program holds it, with CR LF line breaks.
    static QString NoteText();

    void Form_Load();
    void CloseWin_Click();
    void URL_Click();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    forms::Platform &m_platform;
    bool m_linkSecondPress = false; // the link's press was a double-click's second
};
