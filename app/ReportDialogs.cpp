#include "app/ReportDialogs.h"

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace tavrin {

void ShowFailures(QWidget* parent, const QList<TFailure>& failures) {
  QDialog dialog(parent);
  dialog.setObjectName(QStringLiteral("FailuresDialog"));
  dialog.setWindowTitle(QStringLiteral("Failures"));
  auto* layout = new QVBoxLayout(&dialog);
  auto* table = new QTreeWidget(&dialog);
  table->setObjectName(QStringLiteral("FailuresList"));
  table->setRootIsDecorated(false);
  table->setHeaderLabels({QStringLiteral("Computer"), QStringLiteral("Reason")});
  QString text;
  for (const TFailure& failure : failures) {
    table->addTopLevelItem(new QTreeWidgetItem({failure.first, failure.second}));
    text += failure.first + QLatin1Char('\t') + failure.second + QLatin1Char('\n');
  }
  table->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
  layout->addWidget(table);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, &dialog);
  QPushButton* copy = buttons->addButton(QStringLiteral("&Copy"), QDialogButtonBox::ActionRole);
  QObject::connect(copy, &QPushButton::clicked,
                   [text] { QApplication::clipboard()->setText(text); });
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  layout->addWidget(buttons);
  dialog.resize(560, 300);
  dialog.exec();
}

void ShowSummary(QWidget* parent, const QString& headline, const QString& details, bool modal,
                 const QString& title, const QString& objectName) {
  static QPointer<QMessageBox> shown;
  if (shown) shown->close();
  auto* box = new QMessageBox(QMessageBox::Information, title, headline, QMessageBox::Ok, parent);
  box->setObjectName(objectName);
  box->setDetailedText(details);
  box->setAttribute(Qt::WA_DeleteOnClose);
  shown = box;
  if (modal) {
    box->exec();
  } else {
    box->setWindowModality(Qt::NonModal);  // a message box is modal unless told
    box->show();
  }
}

}  // namespace tavrin
