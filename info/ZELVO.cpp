#include "info/ZELVO.h"

#include "forms/App.h"
#include "forms/Platform.h"
#include "info/Addresses.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QUrl>

namespace {

QLabel *label(QWidget *parent, const QString &text, const QRect &geometry)
{
    auto *l = new QLabel(text, parent);
    l->setGeometry(geometry);
    l->setWordWrap(true);
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return l;
}

} // namespace

QStringList ZELVO::VoteItems()
{
    return {QStringLiteral("1-だめだこりゃ"), QStringLiteral("2-物足りない"), QStringLiteral("3-妥当・普通"),
            QStringLiteral("4-結構ナイス"), QStringLiteral("5-パーフェクト")};
}

QIcon ZELVO::windowIcon32And16()
{
    QIcon icon;
    icon.addFile(QStringLiteral(":/resources/zelvo16.xpm"), QSize(16, 16));
    icon.addFile(QStringLiteral(":/resources/zelvo32.xpm"), QSize(32, 32));
    return icon;
}

ZELVO::ZELVO(forms::Platform &platform, QWidget *parent, const QString &baseAddress)
    : QDialog(parent), m_platform(platform), m_baseOverride(baseAddress)
{
    setWindowTitle(QStringLiteral("[ZELVO] Velmora Software Vote System"));
    setFixedSize(355, 224);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setWindowIcon(windowIcon32And16());
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);

    // From the bottom of the drawing order up.
    Thanks[0] = label(
        this,
        QStringLiteral("Velmoraでは、ユーザーの声を反映する一環として、ソフトウェアに評価システムを組み込みました。"),
        QRect(68, 52, 269, 33));
    Thanks[1] = label(this,
                      QStringLiteral("あなたがこのソフトの出来をどのようにお考えか、リストから選択し、送信ボタンをクリ"
                                     "ックしてください。お一人様一回限りです。"),
                      QRect(68, 80, 269, 41));
    SelectOne = label(this, QStringLiteral("5段階評価  （最低1～最高5）"), QRect(68, 168, 158, 16));
    VoteMe = label(this, QStringLiteral("このソフトを評価してください"), QRect(12, 16, 217, 17));
    QFont big(forms::UiFontFamily());
    big.setPointSizeF(12);
    big.setBold(true);
    big.setUnderline(true);
    VoteMe->setFont(big);
    QPalette blue = VoteMe->palette();
    blue.setColor(QPalette::WindowText, QColor(0, 0, 255));
    VoteMe->setPalette(blue);
    Thanks[2] = label(this, QStringLiteral("※評価データ以外が送信されることはありません。"), QRect(68, 132, 225, 13));
    QFont small(forms::UiFontFamily());
    small.setPointSizeF(8.25);
    Thanks[2]->setFont(small);
    // The substitute font runs wider than the declared one: the note takes the
    // room it needs to show whole, to the right and, past the margin, downwards.
    QLabel *note = Thanks[2];
    const int oneLine = note->fontMetrics().horizontalAdvance(note->text()) + 2;
    note->resize(std::max(note->width(), std::min(oneLine, 355 - 68 - 8)), note->height());
    note->resize(note->width(), std::max(note->height(), note->heightForWidth(note->width())));
    ZELVOIcon = label(this, QString(), QRect(16, 52, 32, 32));
    ZELVOIcon->setPixmap(windowIcon32And16().pixmap(32, 32));

    Vote = new QComboBox(this);
    Vote->setGeometry(68, 188, 161, 20);
    Vote->setEditable(false);
    Vote->addItems(VoteItems());
    Submit = new QPushButton(QStringLiteral("送信(&S)"), this);
    Submit->setGeometry(244, 160, 89, 21);
    Submit->setDefault(true);
    Reset = new QPushButton(QStringLiteral("キャンセル(&C)"), this);
    Reset->setGeometry(244, 188, 89, 21);
    Reset->setAutoDefault(false);
    Submit->setAutoDefault(false);

    // Tab order: Vote, Submit, Reset (the labels take no focus).
    setTabOrder(Vote, Submit);
    setTabOrder(Submit, Reset);

    connect(Submit, &QPushButton::clicked, this, &ZELVO::Submit_Click);
    connect(Reset, &QPushButton::clicked, this, &ZELVO::Reset_Click);
    Form_Load();
    Vote->setFocus();
}

void ZELVO::Form_Load()
{
    VoteBaseAddress = m_baseOverride.isEmpty() ? info::BuildVoteBaseAddress() : m_baseOverride;
    Vote->setCurrentText(VoteItems().at(2));
}

void ZELVO::Submit_Click()
{
    if (m_platform.MsgBox(QStringLiteral("送信してもよろしいですか？"),
                          forms::vbOKCancel | forms::vbQuestion | forms::vbDefaultButton2,
                          QStringLiteral("確認")) != forms::vbOK)
        return;
    Submit->setText(QStringLiteral("お待ちください"));
    Vote->setEnabled(false);
    Submit->setEnabled(false);
    Reset->setEnabled(false);
    const QStringList items = VoteItems();
    for (int i = 0; i < 5; ++i) {
        if (Vote->currentText() == items.at(i))
            VoteScore = std::int16_t(i + 1);
    }
    const QString address = VoteBaseAddress + QStringLiteral("?mode=vote&no=0&namber=") + QString::number(VoteScore);
    m_platform.httpGet(QUrl(address));
    // The Sending state shows for the whole pause: paint it now, since nothing
    // repaints while the pause blocks.
    repaint();
    m_platform.sleep(2000);
    m_platform.MsgBox(QStringLiteral("ご協力ありがとうございました！"), forms::vbInformation, QStringLiteral("完了"));
    Submit->setVisible(false);
    Reset->setText(QStringLiteral("閉じる(&C)"));
    Reset->setEnabled(true);
    Submit->setDefault(false);
    Reset->setDefault(true);
    Reset->setFocus();
}

void ZELVO::Reset_Click()
{
    reject();
}
