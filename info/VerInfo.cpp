#include "info/VerInfo.h"

#include "forms/App.h"
#include "forms/LineControl.h"
#include "forms/Platform.h"
#include "forms/QtPlatform.h"
#include "info/Addresses.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <utility>

namespace {

QLabel *label(QWidget *parent, const QRect &geometry)
{
    auto *l = new QLabel(parent);
    l->setGeometry(geometry);
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return l;
}

} // namespace

VerInfo::VerInfo(forms::Platform &platform, QWidget *parent) : QDialog(parent), m_platform(platform)
{
    setFixedSize(498, 234);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setWindowIcon(forms::appIcon());
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);

    // Created from the bottom of the drawing order up, so that later ones lie on top.
    BackGround = label(this, QRect(0, 0, 500, 246));
    BackGround->setPixmap(QPixmap(QStringLiteral(":/resources/verinfo_background.png")));
    BackGround->setScaledContents(true);
    Image1 = label(this, QRect(0, 4, 500, 50));
    Image1->setPixmap(QPixmap(QStringLiteral(":/resources/verinfo_banner.png")));
    Note = label(this, QRect(48, 72, 432, 100));
    Note->setWordWrap(true);
    Copyright = label(this, QRect(52, 196, 384, 20));
    Copyright->setText(info::CopyrightLine());
    URL = label(this, QRect(52, 212, 154, 16));
    URL->setText(info::HomePageAddress());
    QFont urlFont(forms::UiFontFamily());
    urlFont.setPointSizeF(9);
    urlFont.setUnderline(true);
    URL->setFont(urlFont);
    QPalette urlPalette = URL->palette();
    urlPalette.setColor(QPalette::WindowText, QColor(0, 0, 255));
    URL->setPalette(urlPalette);
    URL->installEventFilter(this); // a click opens the page; the pointer stays an arrow
    Line2 = new forms::LineControl({47, 184}, {483, 184}, palette().color(QPalette::WindowText), this);
    SoftIcon = label(this, QRect(284, 20, 32, 32));
    SoftIcon->setPixmap(forms::appIcon().pixmap(32, 32));
    Line1 = new forms::LineControl({47, 60}, {483, 60}, palette().color(QPalette::WindowText), this, 2);
    Versions = label(this, QRect(344, 36, 137, 16));
    Versions->setAlignment(Qt::AlignRight | Qt::AlignTop);
    CloseWin = new QPushButton(QStringLiteral("&OK"), this);
    CloseWin->setGeometry(400, 196, 85, 25);
    // Default (Enter) and cancel (Esc) at once: both close.
    CloseWin->setDefault(true);
    CloseWin->setAutoDefault(true);
    connect(CloseWin, &QPushButton::clicked, this, &VerInfo::CloseWin_Click);

    setTabOrder(CloseWin, CloseWin);
    CloseWin->setFocus();
    Form_Load();
}

QString VerInfo::NoteText()
{
    const QString crlf = QStringLiteral("\r\n");
    return QStringLiteral("簡易プレゼンテーション向け説明ソフト 「Sketrin」") + crlf + crlf + crlf +
           QStringLiteral("Sketrinをご使用いただきありがとうございます。") + crlf + crlf +
           QStringLiteral("感想・不具合・改善提案等ありましたら、下記URLより掲示板へお願いします。");
}

void VerInfo::Form_Load()
{
    setWindowTitle(forms::VersionTitle());
    Versions->setText(forms::VersionText());
    Note->setText(forms::displayText(NoteText()));
}

void VerInfo::CloseWin_Click()
{
    accept();
}

void VerInfo::URL_Click()
{
    // A failure to open it is silent.
    m_platform.openUrl(QUrl(info::HomePageAddress()));
}

bool VerInfo::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == URL && event->type() == QEvent::MouseButtonDblClick) {
        // A double-click opens the page once: its release is not a second click.
        m_linkSecondPress = true;
        return true;
    }
    if (watched == URL && event->type() == QEvent::MouseButtonRelease) {
        auto *me = static_cast<QMouseEvent *>(event);
        if (!std::exchange(m_linkSecondPress, false) && URL->rect().contains(me->position().toPoint()))
            URL_Click();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}
