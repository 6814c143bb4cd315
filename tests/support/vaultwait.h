#pragma once

#include "platform/passwordvault.h"

#include <QtTest>

#include <functional>

// Runs one vault call and waits for its answer (the vault's own time limit bounds the wait).
inline PasswordVault::Result vaultAnswer(const std::function<void(PasswordVault::Callback)> &call)
{
    PasswordVault::Result answer;
    bool answered = false;
    call([&](const PasswordVault::Result &result) {
        answer = result;
        answered = true;
    });
    if (!QTest::qWaitFor([&] { return answered; }, 60000))
        answer.detail = QStringLiteral("the vault never answered");
    return answer;
}
