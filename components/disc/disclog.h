#pragma once
// The disc layer's one log category ("tunevale.disc"), shared by the
// grabber and the writers; it is defined with the grabber, whose library
// every writer links. Only warnings show unless the user turns more on
// (QT_LOGGING_RULES="tunevale.disc.debug=true").

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcDisc)
