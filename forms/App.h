#pragma once

#include <QString>

class QLocale;
class QTranslator;

namespace forms {

// The application title; message boxes without a title of their own show it.
inline QString AppTitle()
{
    return QStringLiteral("Sketrin");
}

// "Sketrin Ver" + major + "." + minor.
QString VersionTitle();
// "Version: " + major + "." + minor.
QString VersionText();

// Maps the declared Japanese UI font onto the fonts installed here and makes it the
// application's default.
void installFonts();

// Loads Qt's own translations (dialogs, standard buttons) for the locale and
// installs them; returns the translator, owned by the application, or null when
// there are none for that locale.
QTranslator *installQtTranslations(const QLocale &locale);

// The declared Japanese UI font family.
inline QString UiFontFamily()
{
    return QStringLiteral("ＭＳ Ｐゴシック");
}

} // namespace forms

#include <QIcon>

namespace forms {
// The program's icon, at 16 x 16 and 32 x 32.
QIcon appIcon();
} // namespace forms
