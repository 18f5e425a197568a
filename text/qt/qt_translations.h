// Qt's own translations (qtbase, qtserialport): standard buttons and dialogs and the
// serial port's error texts in the user's language.
#pragma once

class QCoreApplication;

namespace zdl {

// Installs Qt's Spanish catalogues on `app` when `langBase` is Spanish (101) and removes
// them for any other language, so it can run again on every language switch. The
// catalogues come from Qt's translations folder (Debian: qt6-translations-l10n); a missing
// one leaves those texts in English. The translators live as children of `app`.
void InstallQtTranslations(QCoreApplication& app, int langBase);

}  // namespace zdl
