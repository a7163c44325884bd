// Logging in to the real network before the window opens: the password
// dialog, a wrong password asked for again, and the window saying where it is.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "app/NetworkLogin.h"
#include "app/fmTavrinMain.h"
#include "base/Velmar_CenterUtils.h"
#include "passes/Startup.h"
#include "platform/rpc/RealNetwork.h"
#include "tests/rpc/SambaServer.h"

namespace {

// Answers each password dialog that opens: the texts it shows are kept, and
// `password` is typed (accept) or the dialog is cancelled (empty).
struct Answerer {
  QStringList shown;
  QString password;
  QTimer timer;
  Answerer() {
    QObject::connect(&timer, &QTimer::timeout, [this] {
      auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      auto* edit = dialog ? dialog->findChild<QLineEdit*>(QStringLiteral("Password")) : nullptr;
      if (edit == nullptr) return;
      for (const QLabel* label : dialog->findChildren<QLabel*>()) shown << label->text();
      EXPECT_EQ(edit->echoMode(), QLineEdit::Password);
      auto* buttons = dialog->findChild<QDialogButtonBox*>();
      if (password.isEmpty()) {
        buttons->button(QDialogButtonBox::Cancel)->click();
      } else {
        edit->setText(password);
        buttons->button(QDialogButtonBox::Ok)->click();
      }
    });
    timer.start(20);
  }
};

TEST(RealNetworkLogin, AWrongPasswordIsAskedAgainThenTheWindowSaysWhere) {
  auto server = tavrin::test::SambaServer();
  ASSERT_FALSE(server["PORT"].empty()) << "the test run starts the Samba server";
  tavrin::platform::NetworkArgs network;
  network.real = true;
  network.options.server = "127.0.0.1:" + server["PORT"];
  network.options.user = server["NAME"] + "\\" + server["ADMIN"];

  // Cancelled: no login.
  {
    Answerer cancel;
    EXPECT_FALSE(tavrin::LogInToRealNetwork(network));
  }

  // A wrong password from the descriptor, then the right one in the dialog.
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  ASSERT_EQ(write(fds[1], "wrong\n", 6), 6);
  close(fds[1]);
  network.passwordFd = fds[0];
  Answerer answer;
  answer.password = QString::fromStdString(server["ADMIN_PASSWORD"]);
  EXPECT_TRUE(tavrin::LogInToRealNetwork(network));
  close(fds[0]);
  EXPECT_TRUE(answer.shown.join('|').contains("Logon failure"))
      << answer.shown.join('|').toStdString();
  EXPECT_EQ(ThisComputerName(), server["NAME"]);

  {
    tavrin::StartupScope startup;
    TTavrinForm form;
    const auto* label = form.findChild<QLabel*>(QStringLiteral("NetworkLabel"));
    ASSERT_NE(label, nullptr);
    const QString where = QString::fromStdString("real network: " + network.options.server +
                                                 " as " + network.options.user);
    EXPECT_EQ(label->text(), where);
    EXPECT_EQ(form.windowTitle(), "Tavrin - " + where);
  }
  tavrin::rpc::Uninstall();
}

}  // namespace
