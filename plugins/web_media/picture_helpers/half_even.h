#pragma once

#include <QtGlobal>

// AValue / ADivisor rounded to the nearest integer, halves to the even one, in exact integer
// arithmetic (ADivisor > 0, AValue >= 0): a division in floating point can land a hair beside
// the half and round the other way.
inline qint64 DivideRoundHalfEven(qint64 AValue, qint64 ADivisor) {
    const qint64 quotient = AValue / ADivisor;
    const qint64 twiceRest = 2 * (AValue % ADivisor);
    if (twiceRest > ADivisor || (twiceRest == ADivisor && quotient % 2 != 0))
        return quotient + 1;
    return quotient;
}
