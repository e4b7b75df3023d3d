#include "forms/App.h"

#include "forms/Version.h"

#include <QApplication>
#include <QFont>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <memory>

namespace forms {

QTranslator *installQtTranslations(const QLocale &locale)
{
    auto translator = std::make_unique<QTranslator>(QCoreApplication::instance());
    if (!translator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return nullptr;
    QCoreApplication::installTranslator(translator.get());
    return translator.release();
}

QString VersionTitle()
{
    return QStringLiteral("Sketrin Ver") + QString::number(VersionMajor) + QLatin1Char('.') +
           QString::number(VersionMinor);
}

QString VersionText()
{
    return QStringLiteral("Version: ") + QString::number(VersionMajor) + QLatin1Char('.') +
           QString::number(VersionMinor);
}

void installFonts()
{
    // fontconfig does not know the declared family; IPA P Gothic is its usual
    // stand-in, with Noto Sans CJK when that is missing.
    QFont::insertSubstitutions(UiFontFamily(), {QStringLiteral("IPAPGothic"), QStringLiteral("IPAPゴシック"),
                                                QStringLiteral("Noto Sans CJK JP")});
    QFont font(UiFontFamily());
    font.setPixelSize(12);
    QApplication::setFont(font);
}

} // namespace forms

namespace forms {

QIcon appIcon()
{
    QIcon icon;
    icon.addFile(QStringLiteral(":/resources/app16.xpm"), QSize(16, 16));
    icon.addFile(QStringLiteral(":/resources/app32.xpm"), QSize(32, 32));
    return icon;
}

} // namespace forms
