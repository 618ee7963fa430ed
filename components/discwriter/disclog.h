#pragma once
// The disc layer's own log category. Only warnings show unless the user
// turns more on (QT_LOGGING_RULES="tunevale.disc.debug=true").

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcDisc)
