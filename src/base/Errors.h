#pragma once

#include <QString>
#include <stdexcept>

// A failure with a text meant for the user. Commands raise it; the handler that runs the
// command shows the text (or a message of its own) and the program goes on.
class ZError : public std::runtime_error
{
public:
    explicit ZError(const QString &message);
    QString message() const;
};
