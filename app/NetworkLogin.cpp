#include "app/NetworkLogin.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>

#include "base/Velmar_CenterUtils.h"
#include "platform/RealLogin.h"

namespace tavrin {

namespace {

// The password dialog; false when cancelled. What the edit held is
// overwritten once it has been read.
bool AskPassword(const platform::RealNetworkOptions& options, const QString& problem,
                 std::string& password) {
  QDialog dialog;
  dialog.setWindowTitle(QStringLiteral("Tavrin - real network"));
  auto* layout = new QFormLayout(&dialog);
  if (!problem.isEmpty()) {
    auto* warning = new QLabel(problem, &dialog);
    warning->setWordWrap(true);
    layout->addRow(warning);
  }
  layout->addRow(QStringLiteral("Server:"),
                 new QLabel(QString::fromLocal8Bit(options.server.c_str()), &dialog));
  layout->addRow(QStringLiteral("User:"),
                 new QLabel(QString::fromLocal8Bit(options.user.c_str()), &dialog));
  auto* edit = new QLineEdit(&dialog);
  edit->setObjectName(QStringLiteral("Password"));
  edit->setEchoMode(QLineEdit::Password);
  layout->addRow(QStringLiteral("&Password:"), edit);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  layout->addRow(buttons);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  const bool accepted = dialog.exec() == QDialog::Accepted;
  QString text = edit->text();
  QByteArray bytes = text.toUtf8();
  password.assign(bytes.constData(), static_cast<size_t>(bytes.size()));
  bytes.fill('\0');
  text.fill(QChar(0));
  edit->setText(QString(edit->text().size(), QChar(0)));
  edit->clear();
  return accepted;
}

}  // namespace

bool LogInToRealNetwork(const platform::NetworkArgs& network) {
  QString problem;
  for (int attempt = 0;; ++attempt) {
    std::string password, error;
    if (network.passwordFd >= 0 && attempt == 0) {
      if (!platform::ReadPassword(network.passwordFd, password, error)) {
        QMessageBox::critical(nullptr, QStringLiteral("Tavrin"),
                              QString::fromLocal8Bit(error.c_str()));
        return false;
      }
    } else if (!AskPassword(network.options, problem, password)) {
      return false;
    }
    if (!platform::InitializeReal(network.options, password, error)) {
      QMessageBox::critical(nullptr, QStringLiteral("Tavrin"),
                            QString::fromLocal8Bit(error.c_str()));
      return false;
    }
    // The server answers with its own name once the account may log on.
    SetLastError(0);
    if (!ThisComputerName().empty()) return true;
    const DWORD code = GetLastError();
    const QString why = QString::fromLocal8Bit(LastWin32ErrorMessage().c_str());
    if (code != ERROR_LOGON_FAILURE) {
      // Not a password problem: the window opens and its rows say what fails.
      QMessageBox::warning(nullptr, QStringLiteral("Tavrin"),
                           QStringLiteral("%1 did not answer: %2")
                               .arg(QString::fromLocal8Bit(network.options.server.c_str()), why));
      return true;
    }
    problem = why;
  }
}

}  // namespace tavrin
