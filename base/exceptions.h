#pragma once

#include <QByteArray>
#include <QString>

#include <exception>

// The program's exception classes. Every one carries a user-readable message; what() gives it
// as UTF-8.
class EqvException : public std::exception {
public:
    explicit EqvException(QString AMessage = {})
        : FMessage(std::move(AMessage)), FUtf8(FMessage.toUtf8()) {}
    const char* what() const noexcept override { return FUtf8.constData(); }
    const QString& Message() const { return FMessage; }

private:
    QString FMessage;
    QByteArray FUtf8;
};

#define PLOVANE_DECLARE_EXCEPTION(Name, Base) \
    class Name : public Base {                \
    public:                                   \
        using Base::Base;                     \
    }

PLOVANE_DECLARE_EXCEPTION(EqvParamWrong, EqvException);
PLOVANE_DECLARE_EXCEPTION(EqvParamOutOfValidRangeError, EqvParamWrong);
PLOVANE_DECLARE_EXCEPTION(EqvParamsOutOfValidRangeError, EqvParamWrong);
PLOVANE_DECLARE_EXCEPTION(EqvParamsMisMatchError, EqvException);
PLOVANE_DECLARE_EXCEPTION(EqvMissingRequiredHandler, EqvException);
PLOVANE_DECLARE_EXCEPTION(EqvPointerRefNotAssigned, EqvException);
PLOVANE_DECLARE_EXCEPTION(EqvValueOutOfValidRangeError, EqvException);
PLOVANE_DECLARE_EXCEPTION(EqvValuesMisMatchError, EqvException);
PLOVANE_DECLARE_EXCEPTION(EqvOperationNotPossible, EqvException);
PLOVANE_DECLARE_EXCEPTION(EqvOperationNotPossibleUnknownReason, EqvOperationNotPossible);
PLOVANE_DECLARE_EXCEPTION(EqvReturnValueOutOfValidRangeError, EqvException);
PLOVANE_DECLARE_EXCEPTION(EqvReturnValueNotAssignedError, EqvException);
PLOVANE_DECLARE_EXCEPTION(EqvNoTranslationFound, EqvException);

#undef PLOVANE_DECLARE_EXCEPTION

// The type name of an error as the program log shows it ("EqvParamWrong",
// "std::runtime_error").
QString ExceptionClassName(const std::exception& AError);

// The message of any error: ours as stored, others from what().
QString ExceptionMessage(const std::exception& AError);
