// The application's help file, the help contexts and the home pages.
//
// The help file setting names "tavrin.hlp" beside the executable, as the
// window has always done. No WinHelp viewer exists on today's systems, so a
// help context opens the matching page of the HTML user manual that ships in
// the "manual" folder beside the executable.
#pragma once

#include <QString>
#include <QUrl>
#include <functional>

namespace tavrin {

// The help context of the manual's contents page.
constexpr int HelpContextContents = 1001;

// The directory of the running executable, with its trailing separator,
// followed by "tavrin.hlp"; independent of the current directory.
QString HelpFileBesideExecutable();

// The application's help file.
void SetHelpFile(const QString& path);
QString HelpFile();

// The manual page of a help context, in the folder of the help file; an
// empty URL for a context the manual does not know.
QUrl HelpContextUrl(const QString& helpFile, int context);

// Opens the application's help file at a context. Whether a viewer exists
// is left to the desktop: nothing is reported here.
void ShowHelpContext(int context);

// The product's home page and the component library's home page: pages
// that ship with the manual.
QUrl ProductHomePage();
QUrl LibraryHomePage();

// Hands an address to the desktop's default viewer; the answer is not
// examined. Tests replace the opener to see what would be opened.
using UrlOpener = std::function<void(const QUrl&)>;
void SetUrlOpener(UrlOpener opener);  // an empty opener restores the desktop's
void OpenUrl(const QUrl& url);

}  // namespace tavrin
