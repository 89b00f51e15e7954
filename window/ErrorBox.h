// How a handler's error reaches the operator: a modal box titled with the
// application title.
#pragma once

#include <QString>

#include <functional>

using ErrorReport = std::function<void(const QString &message)>;

// The message as shown: a full stop is appended when its last character comes
// after the full stop in code order.
QString WithFullStop(const QString &message);

// Shows the message, with the full-stop rule applied, through the current
// report (by default a modal error box).
void ShowError(const QString &message);

// Replaces the report, for example so that tests collect the messages instead
// of blocking in a box; answers the previous one.
ErrorReport SetErrorReport(ErrorReport report);
