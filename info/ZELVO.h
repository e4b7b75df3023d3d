#pragma once

#include <QDialog>
#include <array>
#include <cstdint>

class QComboBox;
class QLabel;
class QPushButton;

namespace forms {
class Platform;
}

// The rating window: the user picks a rating from one to five and sends it to the
// maker's rating script as one GET request whose answer is never read.
class ZELVO : public QDialog
{
    Q_OBJECT

public:
    // `baseAddress` replaces the built-in script address; tests point it at a local
    // server.
    explicit ZELVO(forms::Platform &platform, QWidget *parent = nullptr, const QString &baseAddress = {});

    QPushButton *Reset = nullptr;
    QPushButton *Submit = nullptr;
    QComboBox *Vote = nullptr;
    QLabel *ZELVOIcon = nullptr;
    std::array<QLabel *, 3> Thanks{};
    QLabel *VoteMe = nullptr;
    QLabel *SelectOne = nullptr;

    QString VoteBaseAddress;
    std::int16_t VoteScore = 0;

    static QStringList VoteItems();
    static QIcon windowIcon32And16();

    void Form_Load();
    void Submit_Click();
    void Reset_Click();

private:
    forms::Platform &m_platform;
    QString m_baseOverride;
};
