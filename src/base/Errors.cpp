#include "Errors.h"

ZError::ZError(const QString &message) : std::runtime_error(message.toStdString())
{
}

QString ZError::message() const
{
    return QString::fromUtf8(what());
}
