#pragma once
// The disc writers' own log category. Only warnings show unless the user
// turns more on (QT_LOGGING_RULES="tunevale.discwriter.debug=true").

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcDiscWriter)
