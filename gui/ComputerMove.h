// The computer's move as the last-move window shows it.
#pragma once

#include <QString>

// The score as the last-move window shows it: "0", "0.35", "-1.20",
// "# in 3", "-# in 1".
QString LastScoreText(int score);

// A count with thousands separators and no decimals: "1,234,567".
QString NodeCountText(double value);
