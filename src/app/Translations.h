#pragma once

// The window's language: Veltrane's own translation, built into the
// executable, and Qt's for its standard buttons and panels.
namespace Translations {

// Installs both for the default locale (the system's, from LANG, LC_ALL and
// LANGUAGE, unless set otherwise) on the running application, which owns
// them. Returns whether Veltrane's own was found; without it every text stays
// as written. Qt's is the system's, and optional.
bool install();

}
