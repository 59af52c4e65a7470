#pragma once

#include "Application.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStringList>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

// Gives a test its own application object, recording the failures that would
// otherwise be shown in message boxes.
class TApplicationTest : public testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    // Runs the message loop until `done` holds or `timeoutMs` has passed. A
    // real loop, so that released windows are destroyed as in the program.
    bool RunUntil(const std::function<bool()>& done, int timeoutMs = 2000);
    // Processes messages for `ms` milliseconds.
    void RunFor(int ms);

    std::unique_ptr<TApplication> FApplication;
    QStringList FShownFailures;
};
