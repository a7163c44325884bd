// The windows that tell what a pass did: the computers it could not read or
// write with their reasons, and the summary of a commit.
#pragma once

#include <QList>
#include <QString>
#include <utility>

class QWidget;

namespace tavrin {

// A computer and why the pass could not read or write it.
using TFailure = std::pair<QString, QString>;

// Lists the failures in a table that can be copied; modal.
void ShowFailures(QWidget* parent, const QList<TFailure>& failures);

// Shows the summary of a commit: the headline, and the computers with their
// outcomes behind a details button. Modeless unless `modal`; one summary
// window at a time, replaced by the next.
void ShowSummary(QWidget* parent, const QString& headline, const QString& details, bool modal,
                 const QString& title = QStringLiteral("Commit all changes"),
                 const QString& objectName = QStringLiteral("CommitSummary"));

}  // namespace tavrin
