#include "app/AppHelp.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>

namespace tavrin {
namespace {

QString& HelpFileSetting() {
  static QString path;
  return path;
}

UrlOpener& Opener() {
  static UrlOpener opener;
  return opener;
}

// The manual of a program in `folder`: "manual" beside it (the build tree),
// else ../share/tavrin/manual (the installed layout).
QString ManualIn(const QString& folder) {
  const QString beside = folder + QStringLiteral("/manual/");
  const QString installed = folder + QStringLiteral("/../share/tavrin/manual/");
  if (!QFileInfo::exists(beside) && QFileInfo::exists(installed))
    return QDir::cleanPath(installed) + QLatin1Char('/');
  return beside;
}

QString ManualDirectory() { return ManualIn(QCoreApplication::applicationDirPath()); }

}  // namespace

QString HelpFileBesideExecutable() {
  return QDir::toNativeSeparators(QCoreApplication::applicationDirPath() + QLatin1Char('/')) +
         QStringLiteral("tavrin.hlp");
}

void SetHelpFile(const QString& path) { HelpFileSetting() = path; }

QString HelpFile() { return HelpFileSetting(); }

QUrl HelpContextUrl(const QString& helpFile, int context) {
  const char* page = nullptr;
  switch (context) {
    case HelpContextContents:
      page = "index.html";
      break;
    default:
      return {};
  }
  const QString folder = QFileInfo(QDir::fromNativeSeparators(helpFile)).absolutePath();
  return QUrl::fromLocalFile(ManualIn(folder) + QLatin1String(page));
}

void ShowHelpContext(int context) {
  const QUrl url = HelpContextUrl(HelpFile(), context);
  if (!url.isEmpty()) OpenUrl(url);
}

QUrl ProductHomePage() { return QUrl::fromLocalFile(ManualDirectory() + "home.html"); }

QUrl LibraryHomePage() { return QUrl::fromLocalFile(ManualDirectory() + "velmar.html"); }

void SetUrlOpener(UrlOpener opener) { Opener() = std::move(opener); }

void OpenUrl(const QUrl& url) {
  if (Opener())
    Opener()(url);
  else
    QDesktopServices::openUrl(url);
}

}  // namespace tavrin
