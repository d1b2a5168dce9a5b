#pragma once

#include <QColor>

#include "VerdictBands.h"

// The colour that stands for a verdict on the diagram, in the lists and on paper.
QColor verdictColour(Verdict verdict);
// Black or white, whichever reads better on the verdict's colour.
QColor verdictTextColour(Verdict verdict);
