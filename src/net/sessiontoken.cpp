#include "sessiontoken.h"

#include "logredaction.h"

#include <mutex>

namespace {

std::mutex tokenMutex;
QString currentToken;

} // namespace

void SessionToken::set(const QString &token)
{
    LogRedaction::addSecret(token);
    std::lock_guard<std::mutex> lock(tokenMutex);
    currentToken = token;
}

QString SessionToken::get()
{
    std::lock_guard<std::mutex> lock(tokenMutex);
    return currentToken;
}
