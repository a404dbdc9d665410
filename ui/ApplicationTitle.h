#pragma once

#include <QString>

inline const QString kApplicationTitle = QStringLiteral("Korvane Cam Settings Tool V1.7");
