#include "base/exceptions.h"

#include <gtest/gtest.h>

#include <stdexcept>

TEST(Exceptions, HierarchyLetsCallersCatchByFamily) {
    EXPECT_THROW(throw EqvParamOutOfValidRangeError(QStringLiteral("x")), EqvParamWrong);
    EXPECT_THROW(throw EqvParamsOutOfValidRangeError(QStringLiteral("x")), EqvParamWrong);
    EXPECT_THROW(throw EqvOperationNotPossibleUnknownReason(QStringLiteral("x")),
                 EqvOperationNotPossible);
    EXPECT_THROW(throw EqvNoTranslationFound(QStringLiteral("x")), EqvException);
    EXPECT_THROW(throw EqvReturnValueNotAssignedError(QStringLiteral("x")), std::exception);
}

TEST(Exceptions, MessageAndClassNameForTheLog) {
    const EqvValuesMisMatchError error(QStringLiteral("Zahl ≠ Wert"));
    EXPECT_EQ(ExceptionMessage(error), QStringLiteral("Zahl ≠ Wert"));
    EXPECT_STREQ(error.what(), "Zahl ≠ Wert");
    EXPECT_EQ(ExceptionClassName(error), QStringLiteral("EqvValuesMisMatchError"));
    const std::runtime_error other("boom");
    EXPECT_EQ(ExceptionClassName(other), QStringLiteral("std::runtime_error"));
    EXPECT_EQ(ExceptionMessage(other), QStringLiteral("boom"));
}
